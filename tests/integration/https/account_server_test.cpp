// What the account server answers, as the login engine's tests rely on it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "exchange_support.h"
#include "loopback_servers.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class AccountServerTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> switches) {
        switches.insert(switches.end(), {"--cert-out", m_dir.Path() + "/server.pem"});
        m_server = std::make_unique<AccountServer>();
        std::string error;
        ASSERT_TRUE(m_server->Start(switches, error)) << error;
        HttpClientOptions options;
        options.strTrustedCertificates = m_dir.Path() + "/server.pem";
        m_client = CreateHttpClient(m_cancel, options);
    }

    // The reply to one form post, or "<failed N>".
    std::string Post(const std::string& object, const std::string& body) {
        OpenedRequest post = OpenPost(*m_client, m_server->Port(), object);
        if (!m_client->SendRequest(post.request, kFormHeaders, body)) {
            return "<failed " + std::to_string(m_client->LastError()) + ">";
        }
        return ReadOnce(*m_client, post.request, 1 << 16);
    }

    std::string Register(const std::string& cid) {
        std::smatch match;
        std::string reply = Post("/register", "cid=" + cid + "&ctype=5");
        static const std::regex pattern(
            "<result><resultValue>0</resultValue><password>(\\w+)</password></result>");
        EXPECT_TRUE(std::regex_match(reply, match, pattern)) << reply;
        return match.size() > 1 ? match[1].str() : "";
    }

    std::string Login(const std::string& cid, const std::string& password) {
        return Post("/login", "cid=" + cid + "&pass=" + password + "&ctype=5");
    }

    TempDir m_dir;
    HttpCancel m_cancel;
    std::unique_ptr<AccountServer> m_server;
    std::unique_ptr<IHttpClient> m_client;
};

const char kRefusedUnknown[] = "<result><resultValue>2</resultValue></result>";
const char kRefusedPassword[] = "<result><resultValue>3</resultValue></result>";

::testing::Matcher<std::string> Accepted() {
    return ::testing::MatchesRegex(
        "<result><resultValue>0</resultValue><encodekey>[0-9a-f]+</encodekey>"
        "<sessionid>[0-9a-f]+</sessionid></result>");
}

TEST_F(AccountServerTest, LoginNeedsTheLatestPasswordHandedOut) {
    Start({});
    EXPECT_EQ(Login("460001234567890", "x"), kRefusedUnknown);

    std::string first = Register("460001234567890");
    EXPECT_THAT(Login("460001234567890", first), Accepted());
    EXPECT_EQ(Login("460001234567890", first + "x"), kRefusedPassword);

    std::string second = Register("460001234567890");
    EXPECT_NE(second, first);
    EXPECT_EQ(Login("460001234567890", first), kRefusedPassword);
    EXPECT_THAT(Login("460001234567890", second), Accepted());
    EXPECT_EQ(Login("460009999999999", second), kRefusedUnknown);
}

TEST_F(AccountServerTest, AccountsOutliveTheServerInTheStateFile) {
    std::string state = m_dir.Path() + "/accounts";
    Start({"--state", state});
    std::string password = Register("123");
    m_server->Process().Stop();

    Start({"--state", state});
    EXPECT_THAT(Login("123", password), Accepted());
}

TEST_F(AccountServerTest, FixedLoginCodeCanApplyToTheFirstLoginOnly) {
    Start({"--login-code", "7", "--login-code-once"});
    std::string password = Register("123");
    EXPECT_EQ(Login("123", password), "<result><resultValue>7</resultValue></result>");
    EXPECT_THAT(Login("123", password), Accepted());
}

TEST_F(AccountServerTest, NotXmlFaultSpoilsEveryReply) {
    Start({"--not-xml"});
    std::string reply = Post("/register", "cid=1&ctype=5");
    EXPECT_THAT(reply, StartsWith("<html>"));
    EXPECT_THAT(reply, Not(HasSubstr("</html>")));
    EXPECT_THAT(reply, Not(HasSubstr("resultValue")));
}

}  // namespace
