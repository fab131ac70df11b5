// The user's proxy choice (interface number IID_PROXY_INFO), owned by the plug-in. Every call
// reads the "PROXY" user settings (LoginSettings.h) again, or the browser's proxy for type 2; any
// thread. The login requests use the same answers.
#pragma once

#include <string>

#include "IBaseInterface.h"

// Proxy type codes.
constexpr int32_t PROXY_TYPE_NONE = 0;
constexpr int32_t PROXY_TYPE_USER = 1;
constexpr int32_t PROXY_TYPE_BROWSER = 2;

class IProxyInfo : public IBaseInterface {
public:
    virtual int32_t GetProxyType() = 0;
    virtual std::string GetProxyAddress() = 0;
    virtual std::string GetProxyPort() = 0;
    virtual std::string GetProxyUser() = 0;
    // Already deciphered.
    virtual std::string GetProxyPassword() = 0;

protected:
    ~IProxyInfo() = default;
};
