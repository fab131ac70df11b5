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

bool IsRedirectStatus(uint32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool RedirectAllowed(HttpRedirectPolicy policy, const ParsedUrl& request, const ParsedUrl& target) {
    if (target.serviceType != inet::AFX_INET_SERVICE_HTTPS) return false;
    if (policy == HttpRedirectPolicy::kHttpsOnly) return true;
    return SameHostName(target.strServer, request.strServer) && target.port == request.port;
}

std::string VerbAfterRedirect(uint32_t status, const std::string& verb) {
    return status == 307 || status == 308 ? verb : "GET";
}

bool RefusesClaim(uint32_t status, std::optional<uint64_t> claimed) {
    const bool bTheReply = status >= 200 && !IsRedirectStatus(status);
    return bTheReply && claimed && OverReplyBound(*claimed);
}
