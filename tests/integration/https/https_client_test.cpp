// The platform's HTTPS client against the account server over real TLS on loopback, directly
// and through an authenticating proxy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "exchange_support.h"
#include "loopback_servers.h"

namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;

class HttpsClientTest : public ::testing::Test {
protected:
    // Starts the account server; with `bTrusted`, the client trusts its certificate.
    void StartServer(std::vector<std::string> switches, bool bTrusted = false) {
        std::string certificate = m_dir.Path() + "/server.pem";
        switches.insert(switches.end(), {"--cert-out", certificate});
        std::string error;
        ASSERT_TRUE(m_server.Start(switches, error)) << error;
        HttpClientOptions options;
        if (bTrusted) options.strTrustedCertificates = certificate;
        m_client = CreateHttpClient(m_cancel, options);
    }

    uint32_t Error() const { return m_client->LastError(); }
    std::string Detail() const { return m_client->LastErrorDetail(); }

    TempDir m_dir;
    AccountServer m_server;
    HttpCancel m_cancel;
    std::unique_ptr<IHttpClient> m_client;
};

TEST_F(HttpsClientTest, SelfSignedServerIsRefusedUntilTheChecksAreRelaxed) {
    StartServer({});
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/register");
    ASSERT_TRUE(post.request) << Detail();
    const std::string body = "cid=460001234567890&ctype=5";

    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, body));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_CA) << Detail();
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                                    kAllCertificateChecksOff));
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << Detail();

    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
    uint32_t length = Query(*m_client, post.request, kLengthQuery);
    std::string reply = ReadOnce(*m_client, post.request, length);
    EXPECT_EQ(reply.size(), length);
    EXPECT_THAT(reply, MatchesRegex("<result><resultValue>0</resultValue><password>[A-Za-z0-9]+"
                                    "</password></result>"));
    EXPECT_EQ(ReadOnce(*m_client, post.request, 64), "");
}

struct CertificateCase {
    const char* name;
    std::vector<std::string> switches;
    bool bTrusted;
    uint32_t error;
    uint32_t otherFlags;  // waive every check but the failing one
    uint32_t ownFlag;
};

void PrintTo(const CertificateCase& c, std::ostream* out) {
    *out << c.name;
}

class CertificateCheckTest : public HttpsClientTest,
                             public ::testing::WithParamInterface<CertificateCase> {};

TEST_P(CertificateCheckTest, EachSecurityFlagWaivesOnlyItsOwnCheck) {
    const CertificateCase& c = GetParam();
    StartServer(c.switches, c.bTrusted);
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/login");
    const std::string body = "cid=1&pass=2&ctype=3";

    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, body));
    EXPECT_EQ(Error(), c.error) << Detail();

    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS, c.otherFlags);
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, body));
    EXPECT_EQ(Error(), c.error) << Detail();

    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS, c.ownFlag);
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << Detail();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 4096),
              "<result><resultValue>2</resultValue></result>");
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, CertificateCheckTest,
    ::testing::Values(CertificateCase{"UnknownIssuer",
                                      {},
                                      false,
                                      inet::ERROR_INTERNET_INVALID_CA,
                                      inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                          inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                                          inet::SECURITY_FLAG_IGNORE_WRONG_USAGE,
                                      inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA},
                      CertificateCase{"NameMismatch",
                                      {"--cert-name", "other.example"},
                                      true,
                                      inet::ERROR_INTERNET_SEC_CERT_CN_INVALID,
                                      inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                          inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
                                      inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID},
                      CertificateCase{"Expired",
                                      {"--cert-expired"},
                                      true,
                                      inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID,
                                      inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                          inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
                                      inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID}),
    [](const ::testing::TestParamInfo<CertificateCase>& info) { return info.param.name; });

TEST_F(HttpsClientTest, ProxyAsksForCredentialsThenTunnelsToTheServer) {
    StartServer({});
    AuthProxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start("user", "s3cret", m_server.Port(), error)) << error;
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/login", proxy.Address());
    const std::string body = "cid=460001234567890&pass=x&ctype=5";

    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << Detail();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 407u);

    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, "user"));
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_PASSWORD, "s3cret"));
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, body));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_CA) << Detail();

    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << Detail();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 10240),
              "<result><resultValue>2</resultValue></result>");
}

TEST_F(HttpsClientTest, WrongProxyPasswordIsTheProxysAnswer) {
    StartServer({});
    AuthProxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start("user", "s3cret", m_server.Port(), error)) << error;
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/login", proxy.Address());
    m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, "user");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_PASSWORD, "guess");

    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, "cid=1")) << Detail();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 401u);  // tinyproxy's way
}

TEST_F(HttpsClientTest, NobodyListeningIsCannotConnect) {
    m_client = CreateHttpClient(m_cancel);
    OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_CANNOT_CONNECT) << Detail();
}

TEST_F(HttpsClientTest, ConnectionClosedWithoutAnAnswerIsAborted) {
    StartServer({"--close"});
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/login");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    EXPECT_FALSE(m_client->SendRequest(post.request, kFormHeaders, "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_CONNECTION_ABORTED) << Detail();
}

class UnsizedReplyTest : public HttpsClientTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(UnsizedReplyTest, IsReadUntilTheBufferIsFullOrTheReplyEnds) {
    StartServer({"--pad-to", "20000", "--framing", GetParam()});
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/register");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, "cid=7&ctype=1")) << Detail();

    uint32_t length = 0;
    EXPECT_FALSE(m_client->QueryInfo(post.request, kLengthQuery, length));
    EXPECT_EQ(Error(), inet::ERROR_HTTP_HEADER_NOT_FOUND);
    std::string head = ReadOnce(*m_client, post.request, 10240);
    EXPECT_EQ(head.size(), 10240u);
    EXPECT_THAT(head, StartsWith("<result><resultValue>0</resultValue><password>"));
    std::string rest = ReadOnce(*m_client, post.request, 20000);
    EXPECT_EQ(rest.size(), 20000u - 10240u);
    EXPECT_THAT(rest, ::testing::EndsWith("-->"));
    EXPECT_EQ(ReadOnce(*m_client, post.request, 20000), "");
}

INSTANTIATE_TEST_SUITE_P(Framings, UnsizedReplyTest, ::testing::Values("chunked", "close"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

TEST_F(HttpsClientTest, RequestArrivesAsSent) {
    StartServer({});
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/echo");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    // Nothing is escaped: "&" and "=" in a value reach the server as they are.
    const std::string body = "cid=460001234567890&pass=a&b=c&ctype=5";
    ASSERT_TRUE(m_client->SendRequest(post.request, kFormHeaders, body)) << Detail();

    std::string echo = ReadOnce(*m_client, post.request, 10240);
    size_t blank = echo.find("\n\n");
    ASSERT_NE(blank, std::string::npos) << echo;
    std::string head = echo.substr(0, blank + 1);
    EXPECT_THAT(head, StartsWith("POST /echo\n"));
    EXPECT_THAT(head, HasSubstr("\nAccept: */*\n"));
    EXPECT_THAT(head, HasSubstr("\nContent-Type: application/x-www-form-urlencoded\n"));
    EXPECT_THAT(head, HasSubstr("\nContent-Length: " + std::to_string(body.size()) + "\n"));
    EXPECT_THAT(head, HasSubstr("\nUser-Agent: https-test agent\n"));
    EXPECT_THAT(head, Not(HasSubstr("Expect:")));
    EXPECT_EQ(echo.substr(blank + 2), body);
}

TEST_F(HttpsClientTest, StopRequestEndsASendThatWaitsForAnAnswer) {
    StartServer({"--hang"});
    OpenedRequest post = OpenPost(*m_client, m_server.Port(), "/login");
    m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                        kAllCertificateChecksOff);
    using Clock = std::chrono::steady_clock;
    Clock::time_point cancelledAt;
    std::thread stopper([&] {
        ASSERT_THAT(m_server.Process().WaitForLine("holding"), HasSubstr("/login"));
        cancelledAt = Clock::now();
        m_cancel.Cancel();
    });

    bool bSent = m_client->SendRequest(post.request, kFormHeaders, "cid=1&pass=2&ctype=3");
    Clock::time_point returnedAt = Clock::now();
    stopper.join();
    EXPECT_FALSE(bSent);
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED) << Detail();
    std::cout << "send returned "
              << std::chrono::duration<double, std::milli>(returnedAt - cancelledAt).count()
              << " ms after the stop request" << std::endl;

    // The stop request stays: nothing new starts.
    EXPECT_FALSE(m_client->Open("agent", inet::INTERNET_OPEN_TYPE_DIRECT, ""));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED);
}

TEST_F(HttpsClientTest, HandlesAreCheckedForKindAndState) {
    m_client = CreateHttpClient(m_cancel);
    OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
    uint32_t value = 0;
    EXPECT_FALSE(m_client->QueryInfo(post.request, kStatusQuery, value));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    EXPECT_FALSE(m_client->Connect(post.request, "127.0.0.1", 1));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_FALSE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, 7u));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_OPTION);

    HttpHandle::Value closed = post.request.Get();
    post.request.Close();
    EXPECT_FALSE(m_client->SendRequest(HttpHandle(*m_client, closed), kFormHeaders, ""));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

}  // namespace
