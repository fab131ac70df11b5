#include "platform/url.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

struct Scheme {
    std::string_view name;
    uint32_t serviceType;
    uint16_t defaultPort;
};

constexpr Scheme kSchemes[] = {
    {"https", inet::AFX_INET_SERVICE_HTTPS, 443},
    {"http", inet::AFX_INET_SERVICE_HTTP, 80},
    {"ftp", inet::AFX_INET_SERVICE_FTP, 21},
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

const Scheme* FindScheme(std::string_view name) {
    for (const Scheme& scheme : kSchemes) {
        if (EqualsNoCase(scheme.name, name)) return &scheme;
    }
    return nullptr;
}

// Digits only, 1..65535; empty means the scheme's default.
std::optional<uint16_t> ParsePort(std::string_view text, uint16_t defaultPort) {
    if (text.empty()) return defaultPort;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 65535) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<uint16_t>(value);
}

void AppendEncoded(std::string& out, std::string_view segment) {
    static const char kHex[] = "0123456789ABCDEF";
    for (char c : segment) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
}

// `path` starts with '/'. "." and ".." segments are resolved as a browser does; a path that
// ended in one keeps its final '/'.
std::string CanonicalPath(std::string_view path) {
    std::vector<std::string_view> segments;
    bool bTrailingSlash = false;
    size_t pos = 1;
    while (true) {
        size_t end = path.find('/', pos);
        std::string_view segment =
            path.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        bTrailingSlash = false;
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            bTrailingSlash = true;
        } else if (segment == ".") {
            bTrailingSlash = true;
        } else {
            segments.push_back(segment);
        }
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    std::string out;
    for (std::string_view segment : segments) {
        out += '/';
        AppendEncoded(out, segment);
    }
    if (out.empty() || bTrailingSlash) out += '/';
    return out;
}

}  // namespace

std::optional<ParsedUrl> ParseUrl(const std::string& url) {
    std::string_view text(url);
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);

    size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    const Scheme* scheme = FindScheme(text.substr(0, schemeEnd));
    if (!scheme) return std::nullopt;
    text.remove_prefix(schemeEnd + 3);

    size_t authorityEnd = text.find_first_of("/?#");
    std::string_view authority = text.substr(0, authorityEnd);
    std::string_view rest =
        authorityEnd == std::string_view::npos ? std::string_view() : text.substr(authorityEnd);

    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);

    std::string_view host;
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
        }
    } else {
        size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= 0x20) return std::nullopt;
    }
    std::optional<uint16_t> port = ParsePort(portText, scheme->defaultPort);
    if (!port) return std::nullopt;

    rest = rest.substr(0, rest.find('#'));
    size_t queryStart = rest.find('?');
    std::string_view path = rest.substr(0, queryStart);
    std::string_view query =
        queryStart == std::string_view::npos ? std::string_view() : rest.substr(queryStart);

    ParsedUrl parsed;
    parsed.serviceType = scheme->serviceType;
    parsed.strServer = std::string(host);
    parsed.strObject = CanonicalPath(path.empty() ? std::string_view("/") : path);
    parsed.strObject += query;
    parsed.port = *port;
    return parsed;
}

std::string UrlOf(const ParsedUrl& parsed) {
    std::string url;
    for (const Scheme& scheme : kSchemes) {
        if (scheme.serviceType == parsed.serviceType) url = std::string(scheme.name) + "://";
    }
    const bool bLiteral = parsed.strServer.find(':') != std::string::npos;  // an IPv6 address
    url += bLiteral ? "[" + parsed.strServer + "]" : parsed.strServer;
    return url + ":" + std::to_string(parsed.port) + parsed.strObject;
}

std::optional<ParsedUrl> ResolveUrl(const std::string& location, const ParsedUrl& base) {
    std::string_view text(location);
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon < text.find_first_of("/?#")) {
        return ParseUrl(std::string(text));  // a scheme of its own
    }
    const std::string root = UrlOf(base);
    const size_t authority = root.find("://") + 3;
    if (text.substr(0, 2) == "//")
        return ParseUrl(root.substr(0, authority - 2) + std::string(text));
    const std::string origin = root.substr(0, root.find('/', authority));
    if (!text.empty() && text.front() == '/') return ParseUrl(origin + std::string(text));
    const std::string path = base.strObject.substr(0, base.strObject.find('?'));
    return ParseUrl(origin + path.substr(0, path.rfind('/') + 1) + std::string(text));
}
