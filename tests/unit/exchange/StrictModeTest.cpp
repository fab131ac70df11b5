// Strict security mode in the exchange: how the host's setting is read, encoded form values, and
// traces that keep the password out. (Certificate errors: PostToServerTest's outcomes.)
#include "ExchangeFixture.h"

namespace {

class StrictExchangeTest : public ExchangeTest {
protected:
    void Strict() {
        host.setting.Sys("SECURITY", "STRICT", "1");
        login.ReadSecurityPolicy();
        ASSERT_TRUE(login.Policy().IsStrict());
    }
    // No trace record holds `secret`.
    void ExpectNotTraced(const std::string& secret) {
        for (const TraceRecord& r : trace.Records()) {
            EXPECT_EQ(r.message.find(secret), std::string::npos) << r.message;
        }
    }
};

TEST_F(StrictExchangeTest, OnlyTheValueOneTurnsStrictModeOn) {
    struct Case {
        const char* strict;  // nullptr: no such setting
        bool bStrict;
    };
    const Case cases[] = {{nullptr, false}, {"", false},   {"0", false}, {"yes", false},
                          {" 1", false},    {"01", false}, {"1", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strict ? c.strict : "(none)");
        FakeHost other;
        if (c.strict) other.setting.Sys("SECURITY", "STRICT", c.strict);
        other.setting.Sys("SECURITY", "CAFILE", "/etc/issuers.pem");
        CLoginImpl reader(&other.container, Over(https));
        const int before = other.setting.Releases();
        reader.ReadSecurityPolicy();
        EXPECT_EQ(reader.Policy().IsStrict(), c.bStrict);
        // The CA file is only taken in strict mode, and only there does the client get it, with
        // redirects to the same host only and connections that checked the certificate.
        const HttpClientOptions options = reader.Policy().ClientOptions();
        EXPECT_EQ(options.strTrustedCertificates, c.bStrict ? "/etc/issuers.pem" : "");
        EXPECT_EQ(options.redirects,
                  c.bStrict ? HttpRedirectPolicy::kSameHostHttps : HttpRedirectPolicy::kHttpsOnly);
        EXPECT_EQ(options.bOnlyCheckedConnections, c.bStrict);
        EXPECT_EQ(other.setting.Releases() - before, 1);
    }
    // A CA file that cannot be read is named in the trace and kept: no issuer is trusted then.
    host.setting.Sys("SECURITY", "CAFILE", "/nonexistent/issuers.pem");
    Strict();
    EXPECT_TRUE(trace.Has("SECURITY/CAFILE cannot be read: /nonexistent/issuers.pem", 2));
    EXPECT_EQ(login.Policy().CaFile(), "/nonexistent/issuers.pem");
    // A host without a settings service gets the default.
    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    login.ReadSecurityPolicy();
    EXPECT_FALSE(login.Policy().IsStrict());
}

TEST_F(StrictExchangeTest, FormValuesAreEncodedAndBodiesAndRepliesStayOutOfTheTrace) {
    Strict();
    host.comm.SetImsi("460001234567890");
    const std::string password = "p&ss=w rd%+";
    https.Script()
        .Replies(200, "<reply><password>" + password + "</password></reply>")
        .Replies(200, "<result><other/></result>");
    EXPECT_EQ(login.DoRegister("https://acct.example.com/register", "460&x", "\xD2\xC6 NET~"), "");
    EXPECT_FALSE(login.DoLoginServer("https://acct.example.com/login", password, "CM"));
    const auto sends = https.Calls("Send");
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].text2, "cid=460%26x&ctype=%D2%C6+NET%7E");  // GBK bytes too
    EXPECT_EQ(sends[1].text2, "cid=460001234567890&pass=p%26ss%3Dw+rd%25%2B&ctype=CM");
    EXPECT_TRUE(trace.Has("markup.FindElem() failed! can not find \"result\" flag", 2));
    EXPECT_TRUE(trace.Has("ParseLoginResult() failed!", 2));
    ExpectNotTraced("p&ss");
    ExpectNotTraced("p%26ss");
    ExpectNotTraced("cid=");
}

}  // namespace
