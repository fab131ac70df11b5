// Strict security mode as the host turns it on: only "SECURITY"/"STRICT" = 1, and what the
// HTTPS client is then made with. (Certificate errors: PostToServerTest's outcomes.)
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "SecurityPolicy.h"

namespace {

TEST(StrictSettingTest, OnlyTheValueOneTurnsStrictModeOn) {
    struct Case {
        const char* strict;  // nullptr: no such setting
        bool bStrict;
    };
    const Case cases[] = {{nullptr, false}, {"", false},   {"0", false}, {"yes", false},
                          {" 1", false},    {"01", false}, {"1", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strict ? c.strict : "(none)");
        FakeHost host;
        if (c.strict) host.setting.Sys("SECURITY", "STRICT", c.strict);
        host.setting.Sys("SECURITY", "CAFILE", "/etc/issuers.pem");
        const SecurityPolicy policy = SecurityPolicy::FromSettings(&host.setting);
        EXPECT_EQ(policy.IsStrict(), c.bStrict);
        // The CA file is only taken in strict mode, and only there does the client get it, with
        // redirects to the same host only and no handshake kept for a resend that waives its
        // checks.
        const HttpClientOptions options = policy.ClientOptions();
        EXPECT_EQ(options.strTrustedCertificates, c.bStrict ? "/etc/issuers.pem" : "");
        EXPECT_EQ(options.redirects,
                  c.bStrict ? HttpRedirectPolicy::kSameHostHttps : HttpRedirectPolicy::kHttpsOnly);
        EXPECT_EQ(options.bRetriesCertificateErrors, !c.bStrict);
    }
    EXPECT_FALSE(SecurityPolicy::FromSettings(nullptr).IsStrict());
}

}  // namespace
