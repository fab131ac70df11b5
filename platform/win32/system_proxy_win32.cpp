// On Windows the browser's proxy is the registry's value, which the caller has read: there is
// nothing more to ask.
#include "platform/system_proxy.h"

SystemProxy SystemProxyFor(const std::string&) {
    return {};
}

// No helper is run on Windows.
void SetSystemProxyHelperForTest(const std::string&) {}
