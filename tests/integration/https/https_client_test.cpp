// The platform's HTTPS client against the account server over real TLS on loopback, directly
// and through an authenticating proxy.
#include <chrono>
#include <iostream>
#include <thread>

#include "exchange_support.h"
#include "loopback_servers.h"

namespace {

using ::testing::HasSubstr;

class HttpsClientTest : public ::testing::Test {
protected:
    // (Re)starts the account server; with `bTrusted`, a new client trusts its certificate.
    void StartServer(std::vector<std::string> switches, bool bTrusted = false,
                     HttpRedirectPolicy redirects = HttpRedirectPolicy::kHttpsOnly) {
        switches.insert(switches.end(), {"--cert-out", m_dir.Path() + "/server.pem"});
        m_server = std::make_unique<AccountServer>();
        std::string error;
        ASSERT_TRUE(m_server->Start(switches, error)) << error;
        HttpClientOptions options;
        if (bTrusted) options.strTrustedCertificates = m_dir.Path() + "/server.pem";
        options.redirects = redirects;
        m_client = CreateHttpClient(m_cancel, options);
    }
    // Posts `body` to `object` with the checks off; false when the send failed.
    bool Post(OpenedRequest& post, const std::string& object, const std::string& body) {
        post = OpenPost(*m_client, m_server->Port(), object);
        m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                            kAllCertificateChecksOff);
        return m_client->SendRequest(post.request, kFormHeaders, body);
    }
    uint32_t Error() const { return m_client->LastError(); }

    TempDir m_dir;
    HttpCancel m_cancel;
    std::unique_ptr<AccountServer> m_server;
    std::unique_ptr<IHttpClient> m_client;
};

TEST_F(HttpsClientTest, CertificateErrorsAreWaivedByTheSecurityFlags) {
    struct Case {
        std::vector<std::string> switches;
        bool bTrusted;
        uint32_t error;
    };
    const Case cases[] = {
        {{}, false, inet::ERROR_INTERNET_INVALID_CA},
        {{"--cert-name", "other.example"}, true, inet::ERROR_INTERNET_SEC_CERT_CN_INVALID},
        {{"--cert-expired"}, true, inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        StartServer(c.switches, c.bTrusted);
        OpenedRequest post = OpenPost(*m_client, m_server->Port(), "/register");
        ASSERT_TRUE(post.request) << m_client->LastErrorDetail();
        ExpectCertificateRetry(*m_client, post.request, "cid=460001234567890&ctype=5", c.error);
        ExpectRegistrationRead(*m_client, post.request);
    }
}

TEST_F(HttpsClientTest, ProxyAsksForCredentialsThenTunnelsToTheServer) {
    StartServer({});
    AuthProxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start("user", "s3cret", m_server->Port(), error)) << error;
    OpenedRequest post = OpenPost(*m_client, m_server->Port(), "/login", proxy.Address());
    const std::string body = "cid=460001234567890&pass=x&ctype=5";

    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body))
        << m_client->LastErrorDetail();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 407u);
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, "user"));
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_PASSWORD, "s3cret"));
    ExpectCertificateRetry(*m_client, post.request, body, inet::ERROR_INTERNET_INVALID_CA);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 10240), kUnknownCid);
}

TEST_F(HttpsClientTest, NoListenerOrNoAnswerAreTheirOwnErrors) {
    m_client = CreateHttpClient(m_cancel);
    {
        OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
        EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, "cid=1"));
        EXPECT_EQ(Error(), inet::ERROR_INTERNET_CANNOT_CONNECT);
    }
    StartServer({"--close"});  // a new client: the handles above had to go first
    OpenedRequest post;
    EXPECT_FALSE(Post(post, "/login", "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_CONNECTION_ABORTED);
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

TEST_F(HttpsClientTest, RedirectsAreFollowedOnlyWhereThePolicyAllows) {
    AccountServer target;
    std::string error;
    ASSERT_TRUE(target.Start({}, error)) << error;
    CountingListener forbidden;
    const std::string targetPort = std::to_string(target.Port());
    const std::string forbiddenPort = std::to_string(forbidden.Port());
    using P = HttpRedirectPolicy;
    struct Case {
        std::string to;
        P policy;
        uint32_t error;  // 0: followed
    };
    const Case cases[] = {
        {"http://127.0.0.1:" + forbiddenPort + "/register", P::kHttpsOnly,
         inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"http://127.0.0.1:" + forbiddenPort + "/register", P::kSameHostHttps,
         inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"https://localhost:" + forbiddenPort + "/register", P::kSameHostHttps,
         inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"https://127.0.0.1:" + targetPort + "/register", P::kSameHostHttps, 0},
        {"https://localhost:" + targetPort + "/register", P::kHttpsOnly, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        StartServer({"--redirect-to", c.to}, false, c.policy);
        OpenedRequest post;
        const bool bSent = Post(post, "/register", "cid=460001234567890&ctype=5");
        if (c.error != 0) {
            EXPECT_FALSE(bSent);
            EXPECT_EQ(Error(), c.error) << m_client->LastErrorDetail();
        } else {
            ASSERT_TRUE(bSent) << m_client->LastErrorDetail();
            EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
            ExpectRegistrationRead(*m_client, post.request);
        }
    }
    EXPECT_EQ(forbidden.Connections(), 0);
}

TEST_F(HttpsClientTest, ReplyIsNeverKeptPastTheBound) {
    StartServer({"--pad-to", std::to_string(kMaxHttpReplyBytes + 1)});
    OpenedRequest post;
    ASSERT_TRUE(Post(post, "/register", "cid=7&ctype=1")) << m_client->LastErrorDetail();
    EXPECT_EQ(Query(*m_client, post.request, kLengthQuery), kMaxHttpReplyBytes + 1);
    EXPECT_EQ(ReadOnce(*m_client, post.request, kMaxHttpReplyBytes).size(), kMaxHttpReplyBytes);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 1),
              "<read failed " + std::to_string(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE) + ">");
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
