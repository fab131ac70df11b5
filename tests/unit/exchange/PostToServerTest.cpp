// PostToServer over the scripted HTTPS layer: the calls and their bytes, the certificate retry,
// the errors, the reply buffer and the stop request.
#include <chrono>
#include <thread>

#include "ExchangeFixture.h"

namespace {

using PostToServerTest = ExchangeTest;

TEST_F(PostToServerTest, OneRequestIsTheseCallsWithTheseBytes) {
    https.Script().Replies(200, "<result/>");
    ASSERT_TRUE(Post(kUrl, "cid=460&pass=p w&ctype=CM"));

    EXPECT_EQ(
        https.Ops(),
        std::string("Open Connect OpenRequest Send QueryInfo(status) QueryInfo(length) Read ") +
            kCloses);
    const auto calls = https.Calls();
    EXPECT_EQ(calls[0].text1, "Velko Agent");
    EXPECT_EQ(calls[0].number, 1u);  // direct
    EXPECT_EQ(calls[0].text2, "");
    // Each call is made on the handle that the one before gave.
    EXPECT_EQ(calls[1].handle, calls[0].made);
    EXPECT_EQ(calls[2].handle, calls[1].made);
    EXPECT_EQ(calls[3].handle, calls[2].made);
    EXPECT_EQ(calls[1].text1, "acct.example.com");
    EXPECT_EQ(calls[1].number, 8443u);
    EXPECT_EQ(calls[2].text1, "POST");
    EXPECT_EQ(calls[2].text2, "/svc/login?v=1");
    EXPECT_EQ(calls[2].number, kSecureFlag);
    EXPECT_EQ(calls[3].text1, kHeaders);
    EXPECT_EQ(calls[3].text1.size(), 63u);
    EXPECT_EQ(calls[3].text2, "cid=460&pass=p w&ctype=CM");  // nothing escaped
    EXPECT_EQ(calls[6].number, 9u);  // the read asks for the announced length

    EXPECT_EQ(reply.nStatus, 200);
    EXPECT_EQ(reply.strText, "<result/>");
    EXPECT_EQ(login.GetErrorCode(), 0);
    EXPECT_TRUE(https.AllHandlesClosed());
    EXPECT_EQ(https.ClientsMade(), 1);
}

TEST_F(PostToServerTest, UrlWithoutPortTakesTheSchemesDefaultAndRootObject) {
    ASSERT_TRUE(Post("https://acct.example.com"));
    const auto connect = https.Calls("Connect");
    ASSERT_EQ(connect.size(), 1u);
    EXPECT_EQ(connect[0].number, 443u);
    EXPECT_EQ(https.Calls("OpenRequest")[0].text2, "/");
}

TEST_F(PostToServerTest, UnparsableOrPlainUrlsFailBeforeAnyConnection) {
    EXPECT_FALSE(Post("no url at all"));
    EXPECT_EQ(login.GetErrorCode(), -1);
    EXPECT_TRUE(trace.Has(" AfxParseURL() failed!", 2));

    EXPECT_FALSE(Post("http://acct.example.com/login"));
    EXPECT_EQ(login.GetErrorCode(), -2);
    EXPECT_TRUE(trace.Has(" AFX_INET_SERVICE_HTTPS != dwServiceType!", 2));
    EXPECT_EQ(trace.Count("PostToServer() throw CVELKOException!", 1), 2);
    EXPECT_EQ(https.ClientsMade(), 0);

    // Without the secure-only flag plain HTTP is allowed, and the request is not flagged secure.
    EXPECT_TRUE(Post("http://acct.example.com/login", "cid=1", "", "", false));
    EXPECT_EQ(https.Calls("Connect")[0].number, 80u);
    EXPECT_EQ(https.Calls("OpenRequest")[0].number, 0u);
}

class CertificateRetryTest : public ExchangeTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CertificateRetryTest, CertificateErrorIsRetriedOnceWithTheChecksRelaxed) {
    https.Script().SendFails(GetParam()).Replies(200, "ok");
    ASSERT_TRUE(Post());
    EXPECT_EQ(https.Ops(), std::string("Open Connect OpenRequest Send SetOption(31) Send "
                                       "QueryInfo(status) QueryInfo(length) Read ") +
                               kCloses);
    const auto option = https.Calls("SetOption")[0];
    EXPECT_EQ(option.value, kRelaxed);
    const auto sends = https.Calls("Send");
    EXPECT_EQ(sends[1].text1, sends[0].text1);
    EXPECT_EQ(sends[1].text2, sends[0].text2);
    EXPECT_EQ(reply.strText, "ok");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(WinInetCertificateErrors, CertificateRetryTest,
                         ::testing::Values(12037u, 12038u, 12045u, 12169u, 12179u));

TEST_F(PostToServerTest, CertificateRetryThatFailsAgainEndsTheExchange) {
    https.Script().SendFails(12038).SendFails(12029);
    EXPECT_FALSE(Post());
    EXPECT_EQ(login.GetErrorCode(), 12029);
    EXPECT_TRUE(trace.Has("HttpSendRequest() failed!", 2));
    EXPECT_EQ(https.Count("Send"), 2);
    EXPECT_TRUE(https.AllHandlesClosed());

    https.Script().SendFails(12045).SetOptionFails(31, 12018);
    EXPECT_FALSE(Post());
    EXPECT_EQ(login.GetErrorCode(), 12018);
    EXPECT_TRUE(trace.Has("InternetSetOption() failed!", 2));
    EXPECT_EQ(https.Count("Send"), 3);  // no second send this time
}

TEST_F(PostToServerTest, OtherSendErrorIsTracedWithItsNumberAndNotRetried) {
    https.Script().SendFails(12029);
    EXPECT_FALSE(Post());
    EXPECT_EQ(login.GetErrorCode(), 12029);
    EXPECT_TRUE(trace.Has("HttpSendRequest() return other error code : 12029", 2));
    EXPECT_TRUE(trace.Has("PostToServer() throw CVELKOException!", 1));
    EXPECT_EQ(https.Ops(), std::string("Open Connect OpenRequest Send ") + kCloses);
}

TEST_F(PostToServerTest, EachFailingStepHasItsTraceAndLeavesItsErrorNumber) {
    struct Case {
        const char* trace;
        void (*script)(FakeHttps&);
        const char* ops;
    };
    const Case cases[] = {
        {"InternetOpen() failed!", [](FakeHttps& h) { h.Script().OpenFails(12004); }, "Open"},
        {"InternetConnect() failed!", [](FakeHttps& h) { h.Script().ConnectFails(12004); },
         "Open Connect Close(internet)"},
        {"HttpOpenRequest() failed!", [](FakeHttps& h) { h.Script().OpenRequestFails(12004); },
         "Open Connect OpenRequest Close(connection) Close(internet)"},
        {"HttpQueryInfo() failed!", [](FakeHttps& h) { h.Script().StatusQueryFails(12004); },
         "Open Connect OpenRequest Send QueryInfo(status) Close(request) Close(connection) "
         "Close(internet)"},
        {"InternetReadFile() failed!", [](FakeHttps& h) { h.Script().ReadFails(12004); },
         "Open Connect OpenRequest Send QueryInfo(status) QueryInfo(length) Read Close(request) "
         "Close(connection) Close(internet)"},
    };
    for (const Case& c : cases) {
        FakeHttps fresh;
        CLoginImpl other(&host.container, [&] {
            LoginEnvironment env;
            env.httpClient = fresh.Factory();
            return env;
        }());
        c.script(fresh);
        trace.Clear();
        ServerReply out;
        EXPECT_FALSE(other.PostToServer(kUrl, kHeaders, "cid=1", "", "", true, out)) << c.trace;
        EXPECT_EQ(other.GetErrorCode(), 12004) << c.trace;
        EXPECT_TRUE(trace.Has(c.trace, 2)) << c.trace;
        EXPECT_EQ(fresh.Ops(), c.ops) << c.trace;
        EXPECT_TRUE(fresh.AllHandlesClosed()) << c.trace;
    }
}

TEST_F(PostToServerTest, ReplyWithoutLengthIsReadIntoTenKilobytes) {
    FakeReply unsized;
    unsized.body = std::string(15000, 'x');
    https.Script().Reply(unsized);
    ASSERT_TRUE(Post());
    EXPECT_EQ(https.Calls("Read")[0].number, 10240u);
    EXPECT_EQ(reply.strText, std::string(10240, 'x'));

    // A length of 0 counts as none.
    https.Script().RepliesWithLength(200, "short", 0);
    ASSERT_TRUE(Post());
    EXPECT_EQ(https.Calls("Read")[1].number, 10240u);
    EXPECT_EQ(reply.strText, "short");
}

TEST_F(PostToServerTest, AnnouncedLengthSizesTheBufferAndTheTextStopsAtItsEnd) {
    const std::string big(20000, 'y');
    https.Script().Replies(200, big);
    ASSERT_TRUE(Post());
    EXPECT_EQ(https.Calls("Read")[0].number, 20000u);
    EXPECT_EQ(reply.strText, big);

    // Fewer bytes than announced: the text is what was read, not the zero-filled rest.
    https.Script().RepliesWithLength(200, "abc", 100);
    ASSERT_TRUE(Post());
    EXPECT_EQ(reply.strText, "abc");

    // The text ends at the first zero byte.
    https.Script().Replies(200, std::string("ab\0cd", 5));
    ASSERT_TRUE(Post());
    EXPECT_EQ(reply.strText, "ab");
}

TEST_F(PostToServerTest, OtherStatusesAreReadAndHandedOnUnchanged) {
    https.Script().Replies(500, "<result><resultValue>1</resultValue></result>");
    ASSERT_TRUE(Post());
    EXPECT_EQ(reply.nStatus, 500);
    EXPECT_EQ(reply.strText, "<result><resultValue>1</resultValue></result>");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(PostToServerTest, StopRequestedBeforehandEndsTheExchangeWithoutAClient) {
    login.StopThread();
    EXPECT_FALSE(Post());
    EXPECT_EQ(login.GetErrorCode(), 12017);
    EXPECT_EQ(https.ClientsMade(), 0);
}

TEST_F(PostToServerTest, StopRequestedBetweenSendsPreventsTheRetry) {
    https.Script().SendFails(12038);
    https.OnCall("SetOption", [this] { login.StopThread(); });
    EXPECT_FALSE(Post());
    EXPECT_EQ(login.GetErrorCode(), 12017);
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_TRUE(https.AllHandlesClosed());
}

TEST_F(PostToServerTest, StopRequestCancelsASendInProgress) {
    https.HoldSends();
    bool bResult = true;
    std::thread worker([&] { bResult = Post(); });
    ASSERT_TRUE(https.WaitForBlockedSend());
    const auto start = std::chrono::steady_clock::now();
    login.StopThread();
    worker.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(bResult);
    EXPECT_EQ(login.GetErrorCode(), 12017);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_TRUE(https.AllHandlesClosed());
}

}  // namespace
