#include "platform/url.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseUrl, SplitsServiceServerPortAndObject) {
    constexpr uint32_t kHttps = inet::AFX_INET_SERVICE_HTTPS;
    struct Case {
        const char* url;
        uint32_t service;
        const char* server;
        uint16_t port;
        const char* object;
    };
    const Case cases[] = {
        {"https://login.example.com:8443/cgi/login?x=1&y=2", kHttps, "login.example.com", 8443,
         "/cgi/login?x=1&y=2"},
        {"HTTPS://h", kHttps, "h", 443, "/"},
        {"http://h:443/", inet::AFX_INET_SERVICE_HTTP, "h", 443, "/"},
        {"http://h/", inet::AFX_INET_SERVICE_HTTP, "h", 80, "/"},
        {"ftp://h/", inet::AFX_INET_SERVICE_FTP, "h", 21, "/"},
        {"https://h:/", kHttps, "h", 443, "/"},
        {"https://h:65535", kHttps, "h", 65535, "/"},
        {"https://h?a=b", kHttps, "h", 443, "/?a=b"},
        {"https://user:p@ss@h:444/a#frag?not-a-query", kHttps, "h", 444, "/a"},
        {"https://[::1]:8443/login", kHttps, "::1", 8443, "/login"},
        {"https://[fe80::2]", kHttps, "fe80::2", 443, "/"},
        // The path is made canonical and escaped; the query is left alone.
        {"https://h/a/./b/../c", kHttps, "h", 443, "/a/c"},
        {"https://h/a/b/..", kHttps, "h", 443, "/a/"},
        {"https://h/../../x", kHttps, "h", 443, "/x"},
        {"https://h/a//b/", kHttps, "h", 443, "/a//b/"},
        {"https://h/my dir/\xB5\xC7?q=a b", kHttps, "h", 443, "/my%20dir/%B5%C7?q=a b"},
        {"  https://h/x \r\n", kHttps, "h", 443, "/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const std::optional<ParsedUrl> parsed = ParseUrl(c.url);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->serviceType, c.service);
        EXPECT_EQ(parsed->strServer, c.server);
        EXPECT_EQ(parsed->port, c.port);
        EXPECT_EQ(parsed->strObject, c.object);
    }
}

TEST(ParseUrl, RefusesWhatCannotBeConnectedTo) {
    for (const char* url : {"", "   ", "login.example.com/login", "://h/", "mailto://h/",
                            "https:/h/", "https:///path", "https://user@/path", "https://h:0/",
                            "https://h:65536/", "https://h:99999999999999999999/", "https://h:8a/",
                            "https://h:-1/", "https://[::1/", "https://[::1]x/", "https://a b/"}) {
        EXPECT_FALSE(ParseUrl(url).has_value()) << '"' << url << '"';
    }
}

}  // namespace
