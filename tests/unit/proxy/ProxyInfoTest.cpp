// Proxy information from the host's settings: type, address, port, user, deciphered password.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "ProxyInfoImpl.h"

namespace {

class ProxyInfoTest : public ::testing::Test {
protected:
    void Proxy(const std::string& key, const std::string& value) {
        host.setting.User("PROXY", key, value);
    }
    FakeHost host;
    CProxyInfoImpl proxy{&host.container};
};

TEST_F(ProxyInfoTest, NoUsableTypeMeansNoProxyButUserAndPasswordAreStillRead) {
    Proxy("ADDRESS", "10.1.1.1");
    Proxy("PORT", "81");
    Proxy("USER", "alice");
    Proxy("PASSWORD", host.crypt.Encrypt("s3cret"));
    for (const char* type : {"", "letters", "x7"}) {
        if (*type) Proxy("TYPE", type);
        EXPECT_EQ(proxy.GetProxyType(), 0) << type;
        EXPECT_EQ(proxy.GetProxyAddress(), "") << type;
        EXPECT_EQ(proxy.GetProxyPort(), "") << type;
        EXPECT_EQ(proxy.GetProxyUser(), "alice") << type;
        EXPECT_EQ(proxy.GetProxyPassword(), "s3cret") << type;
    }
    EXPECT_EQ(proxy.GetErrorCode(), 0);
}

TEST_F(ProxyInfoTest, AnyTypeButNoneAndBrowserTakesTheUsersAddressAndPort) {
    Proxy("ADDRESS", "proxy.local");
    Proxy("PORT", "3128");
    for (const char* type : {"1", "7", "  7", "-3", "1junk"}) {
        Proxy("TYPE", type);
        EXPECT_NE(proxy.GetProxyType(), 0) << type;
        EXPECT_EQ(proxy.GetProxyAddress(), "proxy.local") << type;
        EXPECT_EQ(proxy.GetProxyPort(), "3128") << type;
    }
    Proxy("TYPE", "  7");
    EXPECT_EQ(proxy.GetProxyType(), 7);
    Proxy("TYPE", "-3");
    EXPECT_EQ(proxy.GetProxyType(), -3);
}

TEST_F(ProxyInfoTest, EverySettingIsFetchedAnewAndReleasedAtOnce) {
    Proxy("TYPE", "1");
    Proxy("ADDRESS", "a");
    EXPECT_EQ(proxy.GetProxyAddress(), "a");
    // Once for the type, once for the address.
    EXPECT_EQ(host.container.Queries(PLUGIN_ID_SETTING, IID_SETTING), 2);
    EXPECT_EQ(host.setting.Releases(), 2);
    // A change in the settings shows on the next call.
    Proxy("ADDRESS", "b");
    EXPECT_EQ(proxy.GetProxyAddress(), "b");
    EXPECT_EQ(host.setting.Releases(), 4);
}

TEST_F(ProxyInfoTest, ThePasswordNeedsTheStoredTextAndTheCryptPlugin) {
    EXPECT_EQ(proxy.GetProxyPassword(), "");
    // Without a stored password the crypt plug-in is not asked.
    EXPECT_EQ(host.container.Queries(PLUGIN_ID_CRYPT, IID_CRYPT), 0);

    Proxy("PASSWORD", host.crypt.Encrypt("pw"));
    EXPECT_EQ(proxy.GetProxyPassword(), "pw");
    EXPECT_EQ(host.crypt.Releases(), 1);

    host.container.Refuse(PLUGIN_ID_CRYPT, IID_CRYPT);
    EXPECT_EQ(proxy.GetProxyPassword(), "");
}

TEST_F(ProxyInfoTest, WithoutASettingsServiceEverythingIsEmpty) {
    Proxy("TYPE", "1");
    Proxy("ADDRESS", "a");
    Proxy("USER", "u");
    host.container.Refuse(PLUGIN_ID_SETTING, IID_SETTING);
    EXPECT_EQ(proxy.GetProxyType(), 0);
    EXPECT_EQ(proxy.GetProxyAddress(), "");
    EXPECT_EQ(proxy.GetProxyUser(), "");
    EXPECT_EQ(proxy.GetProxyPassword(), "");

    // Something else served under the settings' number is handed back, never used.
    host.container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &host.net);
    EXPECT_EQ(proxy.GetProxyUser(), "");
    EXPECT_EQ(host.net.Releases(), 1);

    CProxyInfoImpl orphan(nullptr);
    EXPECT_EQ(orphan.GetProxyType(), 0);
    EXPECT_EQ(orphan.GetProxyAddress(), "");
    EXPECT_EQ(orphan.GetProxyPort(), "");
    EXPECT_EQ(orphan.GetProxyUser(), "");
    EXPECT_EQ(orphan.GetProxyPassword(), "");
    EXPECT_EQ(orphan.GetErrorCode(), 0);
}

TEST(ProxyServerText, OnlyTheLastColonSplitsAddressFromPort) {
    struct Case {
        const char* text;
        const char* address;
        const char* port;
    } cases[] = {
        {"10.1.2.3:8080", "10.1.2.3", "8080"},
        {"proxyhost", "proxyhost", ""},
        {"proxyhost:", "proxyhost", ""},
        {"p1=h1:1;p2=h2:2", "p1=h1:1;p2=h2", "2"},
        {":80", "", "80"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProxyAddress(c.text), c.address) << c.text;
        EXPECT_EQ(ParseProxyPort(c.text), c.port) << c.text;
    }
}

}  // namespace
