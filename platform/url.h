// The one URL reader of the HTTPS layer: splitting a URL into what a connection needs, with the
// results of MFC's AfxParseURL (service type, server, object: path with query, "/" when the URL
// names none, and port: the scheme's default when the URL names none), a redirect's address taken
// against the request's, and the URL of a split one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace inet {

// Service types as AfxParseURL reports them.
constexpr uint32_t AFX_INET_SERVICE_FTP = 1;
constexpr uint32_t AFX_INET_SERVICE_HTTP = 3;
constexpr uint32_t AFX_INET_SERVICE_HTTPS = 0x100B;  // 4107

}  // namespace inet

struct ParsedUrl {
    uint32_t serviceType = 0;
    std::string strServer;  // an IPv6 literal without its brackets
    std::string strObject;
    uint16_t port = 0;
};

// Nothing when the URL is empty, has no scheme this splitter knows (http, https, ftp), no server
// or a port outside 1..65535. Surrounding white space is ignored, user name and password are
// dropped, and so is a fragment, which is never sent. The path loses its "." and ".." segments
// and has spaces, control and non-ASCII bytes percent-encoded; the query is kept as written.
std::optional<ParsedUrl> ParseUrl(const std::string& url);

// The address a redirect's Location names, taken against the URL `base` it answered: an absolute
// URL, one without a scheme ("//host/path"), an absolute path or one relative to base's
// directory. Nothing when the result is no URL ParseUrl takes.
std::optional<ParsedUrl> ResolveUrl(const std::string& location, const ParsedUrl& base);

// The URL that `parsed` was split from, with its port always written ("https://[::1]:443/x").
std::string UrlOf(const ParsedUrl& parsed);
