// The login sequence behind real squid proxies, on both faces: every scheme the proxy asks for
// logs in, every refusal of the tunnel ends the attempt with a state code naming the proxy, and
// the proxy never sees a request for the account server in clear. squid keeps its connection
// open after a 407, which is where a client that resends on the same connection goes wrong.
#include <cstdio>

#include "KeyStore.h"
#include "LoginStates.h"
#include "ProxyFixture.h"

namespace {

using ProxySuiteTest = ProxyTest;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Registration and login, each through the proxy: asked for credentials first where the proxy
// wants them (on a connection it keeps open), then through a tunnel, never in clear.
TEST_F(ProxySuiteTest, EverySchemeTheProxyAsksForLogsIn) {
    const struct {
        const char* name;
        ProxyKind kind;
        const char* user;
        const char* password;
    } cases[] = {
        {"no authentication", ProxyKind::kOpen, nullptr, nullptr},
        {"Basic", ProxyKind::kBasic, kProxyUser, kProxyPassword},
        {"Digest", ProxyKind::kDigest, kProxyUser, kProxyPassword},
        {"Basic, GBK and URL syntax", ProxyKind::kBasic, kAwkwardUser, kAwkwardPassword},
        {"Digest, GBK and URL syntax", ProxyKind::kDigest, kAwkwardUser, kAwkwardPassword},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewSubscriber(c.name);
        std::remove(KeyFile().c_str());
        const uint16_t port = StartProxy(c.kind);
        ASSERT_NE(port, 0);
        UseProxy(port, c.user, c.password);
        // A client that cannot answer the proxy's scheme ends as with credentials refused.
        const bool bAnswers = c.kind != ProxyKind::kDigest || ProxyPeers::FaceAnswersDigest();
        EXPECT_EQ(LogIn(), bAnswers) << login->GetErrorCode();
        EXPECT_EQ(login->IsLoginSuccess(), bAnswers);
        EXPECT_EQ(login->GetErrorCode(), bAnswers ? LOGIN_STATE_OK : LOGIN_STATE_PROXY_CREDENTIALS);
        EXPECT_EQ(login->GetLoginResult().strSessionId.empty(), !bAnswers);
        if (c.user) {
            // Both requests were first refused for want of credentials.
            EXPECT_GE(log.Count("TCP_DENIED/407", 2), 2) << Joined(log.Lines());
        }
        EXPECT_EQ(Joined(log.PlainRequests()), "");
    }
}

// A stored password makes any reply that leaves no code a login: a proxy's refusal must never
// be read as one. Each case is one login request, refused once and traced once.
TEST_F(ProxySuiteTest, ARefusedTunnelIsNeverALogin) {
    const struct {
        const char* name;
        ProxyKind kind;  // kOpen with bServerDown: the proxy cannot reach the server
        bool bDown;      // nothing listens at the proxy's address
        bool bServerDown;
        const char* user;
        const char* password;
        int32_t state;
        const char* traced;
    } cases[] = {
        {"Basic, no user stored", ProxyKind::kBasic, false, false, nullptr, nullptr,
         LOGIN_STATE_PROXY_CREDENTIALS, "GetAccountInfo() failed!"},
        {"Basic, wrong password", ProxyKind::kBasic, false, false, kProxyUser, "wrong",
         LOGIN_STATE_PROXY_CREDENTIALS, "the proxy refused the credentials!"},
        {"Digest, wrong password", ProxyKind::kDigest, false, false, kProxyUser, "wrong",
         LOGIN_STATE_PROXY_CREDENTIALS, "the proxy refused the credentials!"},
        {"CONNECT answered 403", ProxyKind::kRefusing, false, false, kProxyUser, kProxyPassword,
         LOGIN_INET_PROXY_REFUSED, "the proxy refused the tunnel!"},
        {"server down behind the proxy (503)", ProxyKind::kOpen, false, true, nullptr, nullptr,
         LOGIN_INET_PROXY_REFUSED, "the proxy refused the tunnel!"},
        {"proxy down", ProxyKind::kOpen, true, false, kProxyUser, kProxyPassword,
         LOGIN_INET_CANNOT_CONNECT, "HttpSendRequest() return other error code : 12029"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewSubscriber(c.name);
        const uint16_t port = c.bDown ? peers->DownPort() : StartProxy(c.kind);
        ASSERT_NE(port, 0);
        UseProxy(port, c.user, c.password);
        if (c.bServerDown) {
            host.setting.Sys("LOGIN", "URL",
                             "https://127.0.0.1:" + std::to_string(peers->DownPort()) + "/login");
        }
        ASSERT_TRUE(KeyStore::Write(KeyFile(), "stored"));
        trace.Clear();
        EXPECT_FALSE(LogIn());
        EXPECT_FALSE(login->IsLoginSuccess());
        EXPECT_EQ(login->GetErrorCode(), c.state);
        EXPECT_EQ(login->GetLoginResult().strSessionId, "");
        EXPECT_EQ(trace.Count(c.traced, 2), 1);
        if (!c.bDown) {
            EXPECT_EQ(Joined(log.PlainRequests()), "");
        }
        host.setting.Sys("LOGIN", "URL", peers->ServerBase() + "/login");
    }
}

// Type 2 takes the registry's value whole where it is set, on both faces: here a proxy asking
// for Basic credentials, which the host's settings hold.
TEST_F(ProxySuiteTest, TheBrowsersProxyFromTheRegistryValue) {
    const uint16_t port = StartProxy(ProxyKind::kBasic);
    ASSERT_NE(port, 0);
    m_registry.SetString(LOGIN_REGISTRY_BROWSER_KEY, LOGIN_REGISTRY_BROWSER_PROXY_VALUE,
                         "127.0.0.1:" + std::to_string(port));
    host.setting.User("PROXY", "TYPE", "2");
    StoreCredentials(kProxyUser, kProxyPassword);
    EXPECT_TRUE(LogIn()) << login->GetErrorCode();
    EXPECT_FALSE(login->GetLoginResult().strSessionId.empty());
    EXPECT_GE(log.Count("TCP_DENIED/407", 2), 2) << Joined(log.Lines());
    EXPECT_EQ(Joined(log.PlainRequests()), "");
}

}  // namespace
