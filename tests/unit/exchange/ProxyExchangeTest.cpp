// PostToServer through a proxy: the proxy text, the 407 flow with the stored credentials, and
// the bound of four sends.
#include "ExchangeFixture.h"
#include "ProxyInfoImpl.h"

namespace {

using ProxyExchangeTest = ExchangeTest;

const char kAfterAuth[] = "Send QueryInfo(status) SetOption(43) SetOption(44) Send ";

TEST_F(ProxyExchangeTest, AddressAndPortTogetherOpenThroughTheProxy) {
    ASSERT_TRUE(Post(kUrl, "cid=1", "proxy.local", "3128"));
    ASSERT_TRUE(Post(kUrl, "cid=1", "proxy.local", ""));
    ASSERT_TRUE(Post(kUrl, "cid=1", "", "3128"));
    const auto opens = https.Calls("Open");
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[0].number, 3u);
    EXPECT_EQ(opens[0].text2, "proxy.local:3128");
    for (int i : {1, 2}) {
        EXPECT_EQ(opens[i].number, 1u) << i;
        EXPECT_EQ(opens[i].text2, "") << i;
    }
}

TEST_F(ProxyExchangeTest, ProxyAuthenticationSendsTheStoredCredentialsOnce) {
    host.setting.User("PROXY", "TYPE", "1");
    host.setting.User("PROXY", "USER", "alice");
    host.setting.User("PROXY", "PASSWORD", host.crypt.Encrypt("s3cret"));
    https.Script().Replies(407, "").Replies(200, "<result/>");
    ASSERT_TRUE(Post(kUrl, "cid=1", "proxy.local", "3128"));

    EXPECT_EQ(https.Ops(), std::string("Open Connect OpenRequest ") + kAfterAuth +
                               "QueryInfo(length) Read " + kCloses);
    // Whatever the proxy settings give (the password deciphered) goes to the options as is.
    CProxyInfoImpl info(&host.container);
    const auto options = https.Calls("SetOption");
    EXPECT_EQ(options[0].text1, info.GetProxyUser());
    EXPECT_EQ(options[1].text1, info.GetProxyPassword());
    const auto sends = https.Calls("Send");
    EXPECT_EQ(sends[1].text2, sends[0].text2);
    EXPECT_EQ(reply.nStatus, 407);  // the status of the first answer
    EXPECT_EQ(reply.strText, "<result/>");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(ProxyExchangeTest, AnswerAfterTheCredentialsIsReadWhateverItsStatus) {
    https.Script().Replies(407, "").Replies(407, "denied");
    ASSERT_TRUE(Post(kUrl, "cid=1", "proxy.local", "3128"));
    EXPECT_EQ(https.Count("SetOption"), 2);
    EXPECT_EQ(reply.strText, "denied");
    EXPECT_EQ(https.Ops(), std::string("Open Connect OpenRequest ") + kAfterAuth +
                               "QueryInfo(length) Read " + kCloses);
}

TEST_F(ProxyExchangeTest, AtMostFourSendsWhenBothLegsMeetACertificateError) {
    https.Script().SendFails(12038).Replies(407, "").SendFails(12045).Replies(200, "ok");
    ASSERT_TRUE(Post(kUrl, "cid=1", "proxy.local", "3128"));
    EXPECT_EQ(https.Ops(), std::string("Open Connect OpenRequest Send SetOption(31) ") +
                               kAfterAuth + "SetOption(31) Send QueryInfo(length) Read " + kCloses);
    EXPECT_EQ(https.Count("Send"), 4);
    EXPECT_EQ(reply.strText, "ok");
}

TEST_F(ProxyExchangeTest, OtherErrorOnTheAuthenticatedSendIsTracedWithoutANumber) {
    https.Script().Replies(407, "").SendFails(12030);
    EXPECT_FALSE(Post(kUrl, "cid=1", "proxy.local", "3128"));
    EXPECT_EQ(login.GetErrorCode(), 12030);
    EXPECT_TRUE(trace.Has("HttpSendRequest() return other error code!", 2));
    EXPECT_FALSE(trace.Has("HttpSendRequest() return other error code : 12030"));
    EXPECT_TRUE(https.AllHandlesClosed());
}

TEST_F(ProxyExchangeTest, CredentialsThatCannotBeSetGiveFive) {
    for (uint32_t option : {43u, 44u}) {
        https.Script().Replies(407, "").SetOptionFails(option, 12018);
        trace.Clear();
        EXPECT_FALSE(Post(kUrl, "cid=1", "proxy.local", "3128")) << option;
        EXPECT_EQ(login.GetErrorCode(), 5) << option;
        EXPECT_TRUE(trace.Has("GetAccountInfo() failed!", 2)) << option;
        EXPECT_TRUE(reply.strText.empty());
    }
    EXPECT_EQ(https.Count("Send"), 2);  // one per exchange: no send without credentials
    EXPECT_EQ(https.Count("Read"), 0);
}

TEST_F(ProxyExchangeTest, RequestsTakeTheProxyFromTheUserSettings) {
    host.setting.User("PROXY", "TYPE", "1");
    host.setting.User("PROXY", "ADDRESS", "10.0.0.7");
    host.setting.User("PROXY", "PORT", "8080");
    login.DoRegister("https://acct.example.com/register", "460001", "CM");
    host.setting.User("PROXY", "TYPE", "0");
    login.DoRegister("https://acct.example.com/register", "460001", "CM");
    const auto opens = https.Calls("Open");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].number, 3u);
    EXPECT_EQ(opens[0].text2, "10.0.0.7:8080");
    EXPECT_EQ(opens[1].number, 1u);
}

}  // namespace
