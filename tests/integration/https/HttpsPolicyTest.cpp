// What the shared client decides alike on both faces, apart from the network: which redirects a
// send follows, how a redirect's address is read, and which claimed lengths are refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/https_policy.h"

namespace {

ParsedUrl Url(const std::string& text) {
    std::optional<ParsedUrl> parsed = ParseUrl(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(ParsedUrl());
}

TEST(HttpsPolicyTest, RedirectsAreAllowedByPolicySchemeHostAndPort) {
    using P = HttpRedirectPolicy;
    struct Case {
        const char* request;
        const char* target;
        P policy;
        bool bAllowed;
    };
    const Case cases[] = {
        {"https://a.example/", "https://b.example/", P::kHttpsOnly, true},
        {"https://a.example/", "https://a.example:8443/", P::kHttpsOnly, true},
        {"https://a.example/", "http://a.example/", P::kHttpsOnly, false},
        {"https://a.example/", "http://a.example/", P::kSameHostHttps, false},
        {"https://a.example/", "https://b.example/", P::kSameHostHttps, false},
        {"https://A.Example/x", "https://a.EXAMPLE/y", P::kSameHostHttps, true},
        // Another port of the same host is another server.
        {"https://127.0.0.1:4431/", "https://127.0.0.1:4432/login", P::kSameHostHttps, false},
        {"https://h/", "https://h:443/", P::kSameHostHttps, true},
        {"https://h:8443/", "https://h/", P::kSameHostHttps, false},
        // A name that merely starts or ends like the request's is another host.
        {"https://a.example/", "https://a.example.net/", P::kSameHostHttps, false},
        {"https://a.example.net/", "https://a.example/", P::kSameHostHttps, false},
        {"https://[::1]:8443/", "https://[::1]:8443/y", P::kSameHostHttps, true},
        {"https://[fe80::A]/", "https://[fe80::a]/", P::kSameHostHttps, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.request) + " -> " + c.target);
        EXPECT_EQ(RedirectAllowed(c.policy, Url(c.request), Url(c.target)), c.bAllowed);
    }
}

TEST(HttpsPolicyTest, RedirectAddressIsTakenAgainstTheRequest) {
    const ParsedUrl base = Url("https://[::1]:8443/cgi/login?x=1");
    const struct {
        const char* location;
        const char* url;  // empty: refused
    } cases[] = {
        {"https://other:444/a", "https://other:444/a"},
        {"//other/a", "https://other:443/a"},
        {"/register?y=2", "https://[::1]:8443/register?y=2"},
        {"register", "https://[::1]:8443/cgi/register"},
        {"../x", "https://[::1]:8443/x"},
        {"http://h/", "http://h:80/"},
        {"mailto:a@b", ""},
        {"https://h:0/", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        const std::optional<ParsedUrl> resolved = ResolveUrl(c.location, base);
        EXPECT_EQ(resolved ? UrlOf(*resolved) : "", c.url);
    }
}

TEST(HttpsPolicyTest, RedirectsChangeTheVerbAndOnlyTheReplyHasItsClaimBounded) {
    EXPECT_EQ(VerbAfterRedirect(307, "POST"), "POST");
    EXPECT_EQ(VerbAfterRedirect(308, "POST"), "POST");
    for (uint32_t status : {301u, 302u, 303u}) EXPECT_EQ(VerbAfterRedirect(status, "POST"), "GET");
    EXPECT_FALSE(IsRedirectStatus(304));
    EXPECT_FALSE(RefusesClaim(200, kMaxHttpReplyBytes));
    EXPECT_TRUE(RefusesClaim(200, uint64_t{kMaxHttpReplyBytes} + 1));
    EXPECT_TRUE(RefusesClaim(503, uint64_t{4000000000}));
    EXPECT_FALSE(RefusesClaim(307, uint64_t{4000000000}));  // a redirect is no reply
    EXPECT_FALSE(RefusesClaim(100, uint64_t{4000000000}));
    EXPECT_FALSE(RefusesClaim(200, std::nullopt));
}

}  // namespace
