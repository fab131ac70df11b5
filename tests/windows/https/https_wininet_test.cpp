// WinINet, through the platform's client, against the native account server and tinyproxy that
// with_servers.sh starts: the certificate retry, directly and after the proxy's 407.
#include <cstdlib>
#include <string>

#include "tests/integration/https/exchange_support.h"

namespace {

uint16_t Port(const char* name) {
    const char* value = std::getenv(name);
    return static_cast<uint16_t>(value ? std::atoi(value) : 0);
}

// A port that with_servers.sh passed; the test is skipped without one.
#define REQUIRE_PORT(variable, name)      \
    const uint16_t variable = Port(name); \
    if (variable == 0) GTEST_SKIP() << name << " is not set (run through with_servers.sh)"

class WinInetTest : public ::testing::Test {
protected:
    HttpCancel m_cancel;
    std::unique_ptr<IHttpClient> m_client = CreateHttpClient(m_cancel);
};

TEST_F(WinInetTest, SelfSignedServerIsRefusedUntilTheChecksAreRelaxed) {
    REQUIRE_PORT(port, "LOGIN_TEST_SERVER_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/register");
    ASSERT_TRUE(post.request) << m_client->LastError();
    ExpectCertificateRetry(*m_client, post.request, "cid=460001234567890&ctype=5",
                           inet::ERROR_INTERNET_INVALID_CA);
    ExpectRegistrationRead(*m_client, post.request);
}

TEST_F(WinInetTest, ProxyAsksForCredentialsThenTunnelsToTheServer) {
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
