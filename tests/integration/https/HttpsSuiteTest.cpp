// The platform's client, libcurl natively and WinINet under Wine, against the account servers and
// tinyproxy that with_servers.sh starts: the certificate retry after the proxy's 407, the
// redirect policy and the bound on a reply.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "exchange_support.h"

namespace {

uint16_t Port(const char* name) {
    const char* value = std::getenv(name);
    return static_cast<uint16_t>(value ? std::atoi(value) : 0);
}

// A port that with_servers.sh passed; the test is skipped without one.
#define REQUIRE_PORT(variable, name)      \
    const uint16_t variable = Port(name); \
    if (variable == 0) GTEST_SKIP() << name << " is not set (run through with_servers.sh)"

// The server's log as it is now. (Under Wine the Unix path is taken on the current drive, Z:.)
std::string ServerLog(const char* variable) {
    const char* path = std::getenv(variable);
    std::ifstream log(path ? path : "");
    if (!log) return "<no log>";
    return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
}

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
        {"LOGIN_TEST_TO_SAME_HOST_PORT", P::kSameHostHttps, 0},
        {"LOGIN_TEST_TO_TARGET_BY_NAME_PORT", P::kHttpsOnly, 0},
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
    EXPECT_EQ(ServerLog("LOGIN_TEST_FORBIDDEN_LOG"), "");
}

TEST_F(HttpsSuiteTest, ReplyIsNeverReadPastTheBound) {
    REQUIRE_PORT(port, "LOGIN_TEST_LONG_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/register");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, "cid=7&ctype=1"))
        << m_client->LastErrorDetail();
    EXPECT_EQ(Query(*m_client, post.request, kLengthQuery), kMaxHttpReplyBytes + 1);
    EXPECT_EQ(ReadOnce(*m_client, post.request, kMaxHttpReplyBytes).size(), kMaxHttpReplyBytes);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 1),
              "<read failed " + std::to_string(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE) + ">");
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

}  // namespace
