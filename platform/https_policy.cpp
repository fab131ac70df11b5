#include "platform/https_policy.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

std::string_view Bare(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return host;
}

}  // namespace

bool SameHostName(const std::string& a, const std::string& b) {
    const std::string_view bareA = Bare(a);
    const std::string_view bareB = Bare(b);
    return std::equal(bareA.begin(), bareA.end(), bareB.begin(), bareB.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool RedirectAllowed(HttpRedirectPolicy policy, const std::string& requestHost, bool bHttps,
                     const std::string& targetHost) {
    if (!bHttps) return false;
    return policy == HttpRedirectPolicy::kHttpsOnly || SameHostName(targetHost, requestHost);
}
