// Type 2 on Linux where the registry store holds no value: the desktop's own proxy as libproxy
// gives it, asked in the helper program for the login URL. The environment with its bypass
// list and the credentials in its URL, and GNOME's settings naming a PAC file.
#include <stdlib.h>

#include <fstream>
#include <map>

#include "KeyStore.h"
#include "LoginStates.h"
#include "ProxyFixture.h"

namespace {

// The variables libproxy reads, set for one test and put back after it.
class Environment {
public:
    Environment() {
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "HTTP_PROXY", "no_proxy", "NO_PROXY",
              "all_proxy", "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID", "XDG_CURRENT_DESKTOP",
              "GSETTINGS_BACKEND", "XDG_CONFIG_HOME"}) {
            const char* value = getenv(name);
            m_saved[name] = value ? std::make_pair(true, std::string(value))
                                  : std::make_pair(false, std::string());
            unsetenv(name);
        }
    }
    ~Environment() {
        for (const auto& [name, saved] : m_saved) {
            if (saved.first) {
                setenv(name.c_str(), saved.second.c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void Set(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

private:
    std::map<std::string, std::pair<bool, std::string>> m_saved;
};

class ProxySystemTest : public ProxyTest {
protected:
    void UseBrowsersProxy() {
        host.setting.User("PROXY", "TYPE", "2");
        StoreCredentials(nullptr, nullptr);
    }
    Environment environment;
};

const char kNoneApplies[] = "the browser's proxy was asked: none applies, direct!";

// The proxy's URL carries the credentials, escaped as URLs escape them; none are stored.
TEST_F(ProxySystemTest, TheEnvironmentsProxyWithTheCredentialsInItsUrl) {
    const uint16_t port = StartProxy(ProxyKind::kBasic);
    ASSERT_NE(port, 0);
    UseBrowsersProxy();
    const struct {
        const char* credentials;
    } cases[] = {{"alice:s3cret"}, {"%D5%C5%C8%FD%20a%40b%2541:%C3%DC%C2%EB%20p%3Aa%40ss%20%2541"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.credentials);
        NewSubscriber(c.credentials);
        std::remove(KeyFile().c_str());
        log = AccessLog(log.Path());
        environment.Set("https_proxy", std::string("http://") + c.credentials +
                                           "@127.0.0.1:" + std::to_string(port) + "/");
        EXPECT_TRUE(LogIn()) << login->GetErrorCode();
        EXPECT_FALSE(login->GetLoginResult().strSessionId.empty());
        EXPECT_GE(log.Count("TCP_DENIED/407", 2), 2);
        EXPECT_EQ(log.PlainRequests().size(), 0u);
    }
}

// Where the system names no proxy it can use for the login URL, the login goes direct and the
// trace says so once: the server is in the bypass list, or the only proxy is a SOCKS one. The
// proxy named is down, so a login that used it would fail.
TEST_F(ProxySystemTest, WhereNoProxyAppliesTheLoginGoesDirect) {
    const std::string down = "127.0.0.1:" + std::to_string(peers->DownPort());
    const struct {
        const char* name;
        const char* proxy;
        const char* bypass;
    } cases[] = {
        {"bypassed", "http://", "localhost,127.0.0.1"},
        {"SOCKS only", "socks5://", nullptr},
    };
    UseBrowsersProxy();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewSubscriber(c.name);
        std::remove(KeyFile().c_str());
        environment.Set("https_proxy", c.proxy + down);
        if (c.bypass) environment.Set("no_proxy", c.bypass);
        trace.Clear();
        EXPECT_TRUE(LogIn()) << login->GetErrorCode();
        EXPECT_FALSE(login->GetLoginResult().strSessionId.empty());
        EXPECT_EQ(trace.Count(kNoneApplies, 3), 1);
        unsetenv("no_proxy");
    }
}

// GNOME's settings (read through a key file, as a session without dconf would) name a PAC file
// that sends the login URL's host through the proxy; stored credentials answer its 407.
TEST_F(ProxySystemTest, ThePacFileOfTheDesktopsSettings) {
    const uint16_t port = StartProxy(ProxyKind::kBasic);
    ASSERT_NE(port, 0);
    const std::string pac = m_dir.File("proxy.pac");
    std::ofstream(pac) << "function FindProxyForURL(url, host) {\n"
                          "  if (host == \"127.0.0.1\") return \"PROXY 127.0.0.1:"
                       << port << "; DIRECT\";\n  return \"DIRECT\";\n}\n";
    const std::string config = m_dir.File("config");
    std::filesystem::create_directories(config + "/glib-2.0/settings");
    std::ofstream(config + "/glib-2.0/settings/keyfile")
        << "[system/proxy]\nmode='auto'\nautoconfig-url='file://" << pac
        << "'\nignore-hosts=['localhost']\n";
    environment.Set("DESKTOP_SESSION", "gnome");
    environment.Set("GSETTINGS_BACKEND", "keyfile");
    environment.Set("XDG_CONFIG_HOME", config);
    host.setting.User("PROXY", "TYPE", "2");
    StoreCredentials(kProxyUser, kProxyPassword);
    EXPECT_TRUE(LogIn()) << login->GetErrorCode();
    EXPECT_FALSE(login->GetLoginResult().strSessionId.empty());
    EXPECT_GE(log.Count("TCP_DENIED/407", 2), 2);
    EXPECT_EQ(log.PlainRequests().size(), 0u);
    EXPECT_EQ(trace.Count(kNoneApplies), 0);
}

}  // namespace
