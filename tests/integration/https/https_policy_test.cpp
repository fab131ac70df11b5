// Which redirects the clients follow: the decision both make alike, apart from the network.
#include <gtest/gtest.h>

#include <string>

#include "platform/https_policy.h"

namespace {

TEST(HttpsPolicyTest, RedirectsAreAllowedByPolicySchemeAndHostName) {
    using P = HttpRedirectPolicy;
    struct Case {
        const char* requestHost;
        const char* targetHost;
        P policy;
        bool bHttps;  // the redirect's scheme
        bool bAllowed;
    };
    const Case cases[] = {
        {"a.example", "b.example", P::kHttpsOnly, true, true},
        {"a.example", "a.example", P::kHttpsOnly, false, false},
        {"a.example", "a.example", P::kSameHostHttps, false, false},
        {"a.example", "b.example", P::kSameHostHttps, true, false},
        {"A.Example", "a.EXAMPLE", P::kSameHostHttps, true, true},
        // A name that merely starts or ends like the request's is another host.
        {"a.example", "a.example.net", P::kSameHostHttps, true, false},
        {"a.example.net", "a.example", P::kSameHostHttps, true, false},
        {"::1", "[::1]", P::kSameHostHttps, true, true},
        {"[fe80::A]", "fe80::a", P::kSameHostHttps, true, true},
        {"::1", "[::1", P::kSameHostHttps, true, false},
        {"", "", P::kSameHostHttps, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.requestHost) + " -> " + c.targetHost);
        EXPECT_EQ(RedirectAllowed(c.policy, c.requestHost, c.bHttps, c.targetHost), c.bAllowed);
    }
}

}  // namespace
