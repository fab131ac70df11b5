#include "platform/system_proxy.h"

#include <cctype>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes taken back to their bytes; anything else, a stray '%' included, as it is.
std::string Decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "http://user:pw@host:port/..." into the answer; false when it names no host.
bool FromHttpUrl(std::string rest, SystemProxy& answer) {
    const size_t end = rest.find_first_of("/?#");
    if (end != std::string::npos) rest.erase(end);
    const size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        const std::string credentials = rest.substr(0, at);
        rest.erase(0, at + 1);
        const size_t colon = credentials.find(':');
        answer.user = Decoded(credentials.substr(0, colon));
        if (colon != std::string::npos) answer.password = Decoded(credentials.substr(colon + 1));
    }
    // A port after the host (after the brackets of an IPv6 address); an http URL without one
    // means port 80.
    const size_t bracket = rest.rfind(']');
    const size_t colon = rest.rfind(':');
    const bool bHasPort =
        colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    std::string host = bHasPort ? rest.substr(0, colon) : rest;
    std::string port = bHasPort ? rest.substr(colon + 1) : "80";
    if (host.empty() || port.empty()) return false;
    answer.server = host + ":" + port;
    return true;
}

}  // namespace

SystemProxy SystemProxyFromList(const std::vector<std::string>& urls) {
    SystemProxy answer;
    answer.bAsked = true;
    for (const std::string& url : urls) {
        const size_t scheme = url.find("://");
        if (scheme == std::string::npos) continue;
        const std::string name = Lower(url.substr(0, scheme));
        if (name == "direct") return answer;
        SystemProxy proxy;
        proxy.bAsked = true;
        if (name == "http" && FromHttpUrl(url.substr(scheme + 3), proxy)) return proxy;
    }
    return answer;
}
