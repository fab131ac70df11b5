#include "platform/url.h"

#include <gtest/gtest.h>

namespace {

ParsedUrl Parse(const std::string& url) {
    std::optional<ParsedUrl> parsed = ParseUrl(url);
    EXPECT_TRUE(parsed.has_value()) << url;
    return parsed.value_or(ParsedUrl{});
}

TEST(ParseUrl, SplitsServiceServerObjectAndPort) {
    ParsedUrl parsed = Parse("https://login.example.com:8443/cgi/login?x=1&y=2");
    EXPECT_EQ(parsed.serviceType, 4107u);
    EXPECT_EQ(parsed.strServer, "login.example.com");
    EXPECT_EQ(parsed.strObject, "/cgi/login?x=1&y=2");
    EXPECT_EQ(parsed.port, 8443);
}

TEST(ParseUrl, SchemeGivesServiceTypeAndDefaultPort) {
    struct Case {
        const char* url;
        uint32_t serviceType;
        uint16_t port;
    } cases[] = {
        {"https://h/", inet::AFX_INET_SERVICE_HTTPS, 443},
        {"HTTPS://h/", inet::AFX_INET_SERVICE_HTTPS, 443},
        {"http://h/", inet::AFX_INET_SERVICE_HTTP, 80},
        {"ftp://h/", inet::AFX_INET_SERVICE_FTP, 21},
        {"http://h:443/", inet::AFX_INET_SERVICE_HTTP, 443},
        {"https://h:/", inet::AFX_INET_SERVICE_HTTPS, 443},
    };
    for (const Case& c : cases) {
        ParsedUrl parsed = Parse(c.url);
        EXPECT_EQ(parsed.serviceType, c.serviceType) << c.url;
        EXPECT_EQ(parsed.port, c.port) << c.url;
    }
}

TEST(ParseUrl, ObjectIsSlashWhenTheUrlNamesNone) {
    EXPECT_EQ(Parse("https://h").strObject, "/");
    EXPECT_EQ(Parse("https://h:99").strObject, "/");
    EXPECT_EQ(Parse("https://h?a=b").strObject, "/?a=b");
    EXPECT_EQ(Parse("https://h#top").strObject, "/");
}

TEST(ParseUrl, DropsCredentialsAndFragment) {
    ParsedUrl parsed = Parse("https://user:p@ss@h:444/a#frag?not-a-query");
    EXPECT_EQ(parsed.strServer, "h");
    EXPECT_EQ(parsed.port, 444);
    EXPECT_EQ(parsed.strObject, "/a");
}

TEST(ParseUrl, CanonicalisesThePathButNotTheQuery) {
    EXPECT_EQ(Parse("https://h/a/./b/../c").strObject, "/a/c");
    EXPECT_EQ(Parse("https://h/a/b/..").strObject, "/a/");
    EXPECT_EQ(Parse("https://h/../../x").strObject, "/x");
    EXPECT_EQ(Parse("https://h/a//b/").strObject, "/a//b/");
    EXPECT_EQ(Parse("https://h/my dir/\xB5\xC7?q=a b").strObject, "/my%20dir/%B5%C7?q=a b");
    EXPECT_EQ(Parse("  https://h/x \r\n").strObject, "/x");
}

TEST(ParseUrl, Ipv6LiteralLosesItsBrackets) {
    ParsedUrl parsed = Parse("https://[::1]:8443/login");
    EXPECT_EQ(parsed.strServer, "::1");
    EXPECT_EQ(parsed.port, 8443);
    EXPECT_EQ(Parse("https://[fe80::2]").port, 443);
}

TEST(ParseUrl, RefusesWhatCannotBeConnectedTo) {
    for (const char* url : {
             "",
             "   ",
             "login.example.com/login",
             "://h/",
             "mailto://h/",
             "https:/h/",
             "https:///path",
             "https://user@/path",
             "https://h:0/",
             "https://h:65536/",
             "https://h:99999999999999999999/",
             "https://h:8a/",
             "https://h:-1/",
             "https://[::1/",
             "https://[::1]x/",
             "https://a b/",
         }) {
        EXPECT_FALSE(ParseUrl(url).has_value()) << '"' << url << '"';
    }
}

TEST(ParseUrl, HighestPortIsAccepted) {
    EXPECT_EQ(Parse("https://h:65535/").port, 65535);
}

}  // namespace
