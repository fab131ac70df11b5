// The libcurl client's own cases, each against an account server of its own: no server
// listening, unsized replies, the request as sent and a stop request. (The cases WinINet shares
// are in HttpsSuiteTest.cpp; each certificate error's number and its waiver are the strict and
// default modes of StrictLoginTest.)
#include <chrono>
#include <iostream>
#include <thread>

#include "ExchangeSupport.h"
#include "LoopbackServers.h"

namespace {

using ::testing::HasSubstr;

class HttpsClientTest : public ::testing::Test {
protected:
    // Starts the account server, and a client that does not know its certificate.
    void StartServer(const std::vector<std::string>& switches) {
        m_client.reset();  // its kept connection would hold the old server's stop
        m_server = std::make_unique<AccountServer>();
        std::string error;
        ASSERT_TRUE(m_server->Start(switches, error)) << error;
        m_client = CreateHttpClient(m_cancel);
    }
    // Posts `body` to `object` with the checks off; false when the send failed.
    bool Post(OpenedRequest& post, const std::string& object, const std::string& body) {
        post = OpenPost(*m_client, m_server->Port(), object);
        m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                            kAllCertificateChecksOff);
        return m_client->SendRequest(post.request, kFormHeaders, body);
    }
    uint32_t Error() const { return m_client->LastError(); }

    HttpCancel m_cancel;
    std::unique_ptr<AccountServer> m_server;
    std::unique_ptr<IHttpClient> m_client;
};

// (A server that closes without answering: HttpsSuiteTest, for both clients.)
TEST_F(HttpsClientTest, NoListenerIsItsOwnError) {
    m_client = CreateHttpClient(m_cancel);
    OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_CANNOT_CONNECT);
}

TEST_F(HttpsClientTest, UnsizedReplyIsReadUntilTheBufferIsFullOrTheReplyEnds) {
    for (const char* framing : {"chunked", "close"}) {
        SCOPED_TRACE(framing);
        StartServer({"--pad-to", "20000", "--framing", framing});
        OpenedRequest post;
        ASSERT_TRUE(Post(post, "/register", "cid=7&ctype=1")) << m_client->LastErrorDetail();
        uint32_t length = 0;
        EXPECT_FALSE(m_client->QueryInfo(post.request, kLengthQuery, length));
        EXPECT_EQ(Error(), inet::ERROR_HTTP_HEADER_NOT_FOUND);
        const std::string head = ReadOnce(*m_client, post.request, 10240);
        EXPECT_EQ(head.size(), 10240u);
        EXPECT_THAT(head, ::testing::StartsWith("<result><resultValue>0</resultValue><password>"));
        EXPECT_EQ(ReadOnce(*m_client, post.request, 20000).size(), 20000u - 10240u);
        EXPECT_EQ(ReadOnce(*m_client, post.request, 20000), "");
    }
}

TEST_F(HttpsClientTest, RequestArrivesAsSent) {
    StartServer({});
    OpenedRequest post;
    const std::string body = "cid=460001234567890&pass=a&b=c&ctype=5";  // "&", "=" not escaped
    ASSERT_TRUE(Post(post, "/echo", body)) << m_client->LastErrorDetail();
    // The server echoes the head (one header a line), a blank line and the body.
    const std::string echo = ReadOnce(*m_client, post.request, 10240);
    const size_t blank = echo.find("\n\n");
    ASSERT_NE(blank, std::string::npos) << echo;
    const std::string head = echo.substr(0, blank + 1);
    EXPECT_THAT(head, ::testing::StartsWith("POST /echo\n"));
    for (const std::string& line : {std::string("Accept: */*"),
                                    std::string("Content-Type: application/x-www-form-urlencoded"),
                                    "Content-Length: " + std::to_string(body.size()),
                                    std::string("User-Agent: https-test agent")}) {
        EXPECT_THAT(head, HasSubstr("\n" + line + "\n"));
    }
    EXPECT_THAT(head, ::testing::Not(HasSubstr("Expect:")));
    EXPECT_EQ(echo.substr(blank + 2), body);
}

TEST_F(HttpsClientTest, StopRequestEndsASendThatWaitsForAnAnswer) {
    StartServer({"--hang"});
    using Clock = std::chrono::steady_clock;
    Clock::time_point cancelledAt;
    std::thread stopper([&] {
        EXPECT_THAT(m_server->Process().WaitForLine("holding"), HasSubstr("/login"));
        cancelledAt = Clock::now();
        m_cancel.Cancel();
    });
    OpenedRequest post;
    EXPECT_FALSE(Post(post, "/login", "cid=1&pass=2&ctype=3"));
    const Clock::time_point returnedAt = Clock::now();
    stopper.join();
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED) << m_client->LastErrorDetail();
    std::cout << "send returned "
              << std::chrono::duration<double, std::milli>(returnedAt - cancelledAt).count()
              << " ms after the stop request" << std::endl;

    // The stop request stays: nothing new starts.
    EXPECT_FALSE(m_client->Open("agent", inet::INTERNET_OPEN_TYPE_DIRECT, ""));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED);
}

}  // namespace
