// The platform's client, libcurl natively and WinINet under Wine, against the account servers and
// tinyproxy that with_servers.sh starts: the certificate retry after the proxy's 407, the
// redirect policy, the bound on a reply and the time-outs.
#include <string>

#include "ServerLogs.h"
#include "ExchangeSupport.h"

namespace {

class HttpsSuiteTest : public ::testing::Test {
protected:
    HttpCancel m_cancel;
    std::unique_ptr<IHttpClient> m_client = CreateHttpClient(m_cancel);
};

TEST_F(HttpsSuiteTest, RedirectsAreFollowedOnlyWhereThePolicyAllows) {
    REQUIRE_PORT(forbidden, "LOGIN_TEST_FORBIDDEN_PORT");
    using P = HttpRedirectPolicy;
    struct Case {
        const char* server;
        P policy;
        uint32_t error;  // 0: followed
    };
    const Case cases[] = {
        {"LOGIN_TEST_TO_HTTP_PORT", P::kHttpsOnly, inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"LOGIN_TEST_TO_HTTP_PORT", P::kSameHostHttps, inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"LOGIN_TEST_TO_OTHER_HOST_PORT", P::kSameHostHttps,
         inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        // Another port of the same host is another server, which strict mode does not post to.
        {"LOGIN_TEST_TO_OTHER_PORT_PORT", P::kSameHostHttps,
         inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
        {"LOGIN_TEST_TO_SAME_HOST_PORT", P::kHttpsOnly, 0},
        {"LOGIN_TEST_TO_TARGET_BY_NAME_PORT", P::kHttpsOnly, 0},
        // The same host and port: followed, until the limit ends the loop.
        {"LOGIN_TEST_LOOP_PORT", P::kSameHostHttps, inet::ERROR_HTTP_REDIRECT_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        REQUIRE_PORT(port, c.server);
        HttpClientOptions options;
        options.redirects = c.policy;
        std::unique_ptr<IHttpClient> client = CreateHttpClient(m_cancel, options);
        OpenedRequest post = OpenPost(*client, port, "/register");
        ASSERT_TRUE(client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                                      kAllCertificateChecksOff));
        const bool bSent =
            client->SendRequest(post.request, kFormHeaders, "cid=460001234567890&ctype=5");
        if (c.error != 0) {
            EXPECT_FALSE(bSent);
            EXPECT_EQ(client->LastError(), c.error) << client->LastErrorDetail();
        } else {
            ASSERT_TRUE(bSent) << client->LastErrorDetail();
            EXPECT_EQ(Query(*client, post.request, kStatusQuery), 200u);
            ExpectRegistrationRead(*client, post.request);
        }
    }
    EXPECT_EQ(ReadLog(LogPath("LOGIN_TEST_FORBIDDEN_LOG")), "");
    EXPECT_EQ(ReadLog(LogPath("LOGIN_TEST_OTHER_LOG")), "");
}

TEST_F(HttpsSuiteTest, ReplyIsNeverReadPastTheBound) {
    REQUIRE_PORT(port, "LOGIN_TEST_LONG_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/register");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, "cid=7&ctype=1"))
        << m_client->LastErrorDetail();
    EXPECT_EQ(ReadOnce(*m_client, post.request, kMaxHttpReplyBytes).size(), kMaxHttpReplyBytes);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 1),
              "<read failed " + std::to_string(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE) + ">");
}

// A server that never answers, one that redirects to itself and one whose reply claims 4 GB and
// then holds the connection: each send ends on the client's own bounds (here short ones), with
// WinINet's number for it.
TEST_F(HttpsSuiteTest, ServersThatNeverFinishEndOnTheClientsBounds) {
    REQUIRE_PORT(hang, "LOGIN_TEST_HANG_PORT");
    REQUIRE_PORT(selfRedirect, "LOGIN_TEST_SELF_REDIRECT_PORT");
    REQUIRE_PORT(claim, "LOGIN_TEST_CLAIM_HANG_PORT");
    HttpClientOptions options;
    options.timeouts = {1000, 1000, 1000, 3};
    const std::string body = "cid=460001234567890&ctype=5";
    auto post = [&](uint16_t port, std::unique_ptr<IHttpClient>& client, OpenedRequest& opened) {
        client = CreateHttpClient(m_cancel, options);
        opened = OpenPost(*client, port, "/register");
        client->SetOption(opened.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                          kAllCertificateChecksOff);
        return client->SendRequest(opened.request, kFormHeaders, body);
    };
    std::unique_ptr<IHttpClient> client;
    {
        OpenedRequest opened;
        EXPECT_FALSE(post(hang, client, opened));
        EXPECT_EQ(client->LastError(), inet::ERROR_INTERNET_TIMEOUT) << client->LastErrorDetail();
    }
    {
        OpenedRequest opened;
        EXPECT_FALSE(post(selfRedirect, client, opened));
        EXPECT_EQ(client->LastError(), inet::ERROR_HTTP_REDIRECT_FAILED)
            << client->LastErrorDetail();
        // The first request and the three redirects it may follow.
        EXPECT_EQ(CountInLog(LogPath("LOGIN_TEST_SELF_REDIRECT_LOG"), "POST /register", 4), 4);
    }
    {
        OpenedRequest opened;
        ASSERT_TRUE(post(claim, client, opened)) << client->LastErrorDetail();
        EXPECT_EQ(Query(*client, opened.request, kLengthQuery), 4000000000u);
        EXPECT_EQ(ReadOnce(*client, opened.request, 64),
                  "<read failed " + std::to_string(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE) + ">");
    }
}

// No status line at all is no reply: the link broke (an empty reply would count as a login).
TEST_F(HttpsSuiteTest, ConnectionClosedWithoutAReplyIsAborted) {
    REQUIRE_PORT(port, "LOGIN_TEST_CLOSE_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/login");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, "cid=1&pass=2&ctype=3"));
    EXPECT_EQ(m_client->LastError(), inet::ERROR_INTERNET_CONNECTION_ABORTED)
        << m_client->LastErrorDetail();
}

TEST_F(HttpsSuiteTest, ProxyAsksForCredentialsThenTunnelsToTheServer) {
    REQUIRE_PORT(port, "LOGIN_TEST_PROXIED_PORT");
    REQUIRE_PORT(proxyPort, "LOGIN_TEST_PROXY_PORT");
    OpenedRequest post =
        OpenPost(*m_client, port, "/login", "127.0.0.1:" + std::to_string(proxyPort));
    const std::string body = "cid=460001234567890&pass=x&ctype=5";

    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << m_client->LastError();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 407u);
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, "user"));
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_PASSWORD, "s3cret"));
    ExpectCertificateRetry(*m_client, post.request, body, inet::ERROR_INTERNET_INVALID_CA);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 10240), kUnknownCid);
}

// The clients of one login object share what they keep: a connection that carried a request
// with the certificate checks waived (this server's certificate fails them) is refused to a
// request that checks, and serves the next waived one.
TEST_F(HttpsSuiteTest, ConnectionWhoseChecksWereWaivedNeverCarriesACheckedRequest) {
    REQUIRE_PORT(port, "LOGIN_TEST_KEPT_PORT");
    const std::string log = LogPath("LOGIN_TEST_KEPT_LOG");
    HttpClientOptions options;
    options.connections = CreateHttpConnections();
    const std::string body = "cid=460001234567890&ctype=5";
    auto post = [&](uint32_t securityFlags, uint32_t& error) {
        std::unique_ptr<IHttpClient> client = CreateHttpClient(m_cancel, options);
        OpenedRequest opened = OpenPost(*client, port, "/register");
        if (securityFlags != 0) {
            client->SetOption(opened.request, inet::INTERNET_OPTION_SECURITY_FLAGS, securityFlags);
        }
        const bool bSent = client->SendRequest(opened.request, kFormHeaders, body);
        error = bSent ? 0 : client->LastError();
        return bSent && Query(*client, opened.request, kStatusQuery) == 200u;
    };
    uint32_t error = 0;
    ASSERT_TRUE(post(kAllCertificateChecksOff, error)) << error;
    ASSERT_EQ(CountInLog(log, "POST /register"), 1);
    EXPECT_FALSE(post(0, error));
    EXPECT_EQ(error, inet::ERROR_INTERNET_INVALID_CA);
    EXPECT_TRUE(post(kAllCertificateChecksOff, error)) << error;
    // Had the checked request gone through, its line would stand before the third one's.
    EXPECT_EQ(CountInLog(log, "POST /register", 2), 2);
}

}  // namespace
