// WinINet, through the platform's client, against the native account server and tinyproxy on
// loopback: the same exchanges as the libcurl client's tests, with WinINet's own answers.
#include <winsock2.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/integration/https/exchange_support.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// A port that with_servers.sh passed; the test is skipped without one.
#define REQUIRE_PORT(variable, name)                                                \
    uint16_t variable = static_cast<uint16_t>(std::atoi(EnvOrEmpty(name).c_str())); \
    if (variable == 0) GTEST_SKIP() << name << " is not set (run through with_servers.sh)"

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

uint16_t UnusedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    uint16_t port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    closesocket(s);
    return port;
}

class WinInetTest : public ::testing::Test {
protected:
    uint32_t Error() const { return m_client->LastError(); }
    bool Send(const OpenedRequest& post, const std::string& body) {
        return m_client->SendRequest(post.request, kFormHeaders, body);
    }
    bool RelaxChecks(const OpenedRequest& post) {
        return m_client->SetOption(post.request, inet::INTERNET_OPTION_SECURITY_FLAGS,
                                   kAllCertificateChecksOff);
    }

    HttpCancel m_cancel;
    std::unique_ptr<IHttpClient> m_client = CreateHttpClient(m_cancel);
};

TEST_F(WinInetTest, SelfSignedServerIsRefusedUntilTheChecksAreRelaxed) {
    REQUIRE_PORT(port, "LOGIN_TEST_SERVER_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/register");
    ASSERT_TRUE(post.request) << Error();
    const std::string body = "cid=460001234567890&ctype=5";

    EXPECT_FALSE(Send(post, body));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_CA);
    ASSERT_TRUE(RelaxChecks(post)) << Error();
    ASSERT_TRUE(Send(post, body)) << Error();

    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
    uint32_t length = Query(*m_client, post.request, kLengthQuery);
    std::string reply = ReadOnce(*m_client, post.request, length);
    EXPECT_EQ(reply.size(), length);
    EXPECT_THAT(reply, StartsWith("<result><resultValue>0</resultValue><password>"));
    EXPECT_THAT(reply, EndsWith("</password></result>"));
}

TEST_F(WinInetTest, NameMismatchIsACertificateErrorThatTheFlagsWaive) {
    REQUIRE_PORT(port, "LOGIN_TEST_MISMATCH_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/login");
    EXPECT_FALSE(Send(post, "cid=1&pass=2&ctype=3"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_CA);  // the issuer is checked first
    ASSERT_TRUE(RelaxChecks(post));
    ASSERT_TRUE(Send(post, "cid=1&pass=2&ctype=3")) << Error();
    EXPECT_EQ(ReadOnce(*m_client, post.request, 10240),
              "<result><resultValue>2</resultValue></result>");
}

TEST_F(WinInetTest, ProxyAsksForCredentialsThenTunnelsToTheServer) {
    REQUIRE_PORT(port, "LOGIN_TEST_PROXIED_PORT");
    REQUIRE_PORT(proxyPort, "LOGIN_TEST_PROXY_PORT");
    OpenedRequest post =
        OpenPost(*m_client, port, "/login", "127.0.0.1:" + std::to_string(proxyPort));
    const std::string body = "cid=460001234567890&pass=x&ctype=5";

    ASSERT_TRUE(Send(post, body)) << Error();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 407u);
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_USERNAME, "user"));
    ASSERT_TRUE(m_client->SetOption(post.request, inet::INTERNET_OPTION_PROXY_PASSWORD, "s3cret"));
    EXPECT_FALSE(Send(post, body));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_INVALID_CA);
    ASSERT_TRUE(RelaxChecks(post));
    ASSERT_TRUE(Send(post, body)) << Error();
    EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 200u);
    EXPECT_EQ(ReadOnce(*m_client, post.request, 10240),
              "<result><resultValue>2</resultValue></result>");
}

TEST_F(WinInetTest, UnsizedReplyIsReadUntilTheBufferIsFull) {
    REQUIRE_PORT(port, "LOGIN_TEST_UNSIZED_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/register");
    RelaxChecks(post);
    ASSERT_TRUE(Send(post, "cid=7&ctype=1")) << Error();

    uint32_t length = 0;
    EXPECT_FALSE(m_client->QueryInfo(post.request, kLengthQuery, length));
    EXPECT_EQ(Error(), inet::ERROR_HTTP_HEADER_NOT_FOUND);
    std::string head = ReadOnce(*m_client, post.request, 10240);
    EXPECT_EQ(head.size(), 10240u);
    EXPECT_THAT(head, StartsWith("<result><resultValue>0</resultValue><password>"));
    EXPECT_EQ(ReadOnce(*m_client, post.request, 20000).size(), 20000u - 10240u);
}

TEST_F(WinInetTest, RequestArrivesAsSent) {
    REQUIRE_PORT(port, "LOGIN_TEST_SERVER_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/echo");
    RelaxChecks(post);
    const std::string body = "cid=460001234567890&pass=a&b=c&ctype=5";
    ASSERT_TRUE(Send(post, body)) << Error();

    std::string echo = ReadOnce(*m_client, post.request, 10240);
    size_t blank = echo.find("\n\n");
    ASSERT_NE(blank, std::string::npos) << echo;
    std::string head = echo.substr(0, blank + 1);
    EXPECT_THAT(head, StartsWith("POST /echo\n"));
    EXPECT_THAT(head, HasSubstr("\nAccept: */*\n"));
    EXPECT_THAT(head, HasSubstr("\nContent-Type: application/x-www-form-urlencoded\n"));
    EXPECT_THAT(head, HasSubstr("\nContent-Length: " + std::to_string(body.size()) + "\n"));
    EXPECT_THAT(head, HasSubstr("\nUser-Agent: https-test agent\n"));
    EXPECT_EQ(echo.substr(blank + 2), body);
}

TEST_F(WinInetTest, NobodyListeningIsCannotConnect) {
    OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
    EXPECT_FALSE(Send(post, "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_CANNOT_CONNECT);
}

TEST_F(WinInetTest, ConnectionClosedWithoutAnAnswerGivesNoReply) {
    REQUIRE_PORT(port, "LOGIN_TEST_CLOSE_PORT");
    OpenedRequest post = OpenPost(*m_client, port, "/login");
    RelaxChecks(post);
    // Wine's WinINet calls such a send done, with a status of 0 and nothing to read; a failed
    // send is as good. No reply is made up.
    if (Send(post, "cid=1")) {
        EXPECT_EQ(Query(*m_client, post.request, kStatusQuery), 0u);
        EXPECT_EQ(ReadOnce(*m_client, post.request, 100), "");
    }
}

TEST_F(WinInetTest, StopRequestClosesTheHandles) {
    OpenedRequest post = OpenPost(*m_client, UnusedPort(), "/login");
    ASSERT_TRUE(post.request);
    m_cancel.Cancel();
    EXPECT_FALSE(Send(post, "cid=1"));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_FALSE(m_client->Open("agent", inet::INTERNET_OPEN_TYPE_DIRECT, ""));
    EXPECT_EQ(Error(), inet::ERROR_INTERNET_OPERATION_CANCELLED);
}

}  // namespace
