// The browser's proxy type: address and port from the current user's Internet Settings.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "ProxyInfoImpl.h"
#include "RegistrySandbox.h"

namespace {

const char* const kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class ProxyRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { host.setting.User("PROXY", "TYPE", "2"); }
    void Browser(const std::string& value) {
        sandbox.CreateKey(kInternetSettings);
        sandbox.SetString(kInternetSettings, "ProxyServer", value);
    }
    RegistrySandbox sandbox;
    FakeHost host;
    CProxyInfoImpl proxy{&host.container};
};

TEST_F(ProxyRegistryTest, TheBrowserValueIsSplitAtItsLastColon) {
    host.setting.User("PROXY", "ADDRESS", "ignored");
    host.setting.User("PROXY", "PORT", "1");
    Browser("10.1.2.3:8080");
    EXPECT_EQ(GetIEProxyServer(), "10.1.2.3:8080");
    EXPECT_EQ(proxy.GetProxyType(), 2);
    EXPECT_EQ(proxy.GetProxyAddress(), "10.1.2.3");
    EXPECT_EQ(proxy.GetProxyPort(), "8080");

    Browser("p1=h1:1;p2=h2:2");
    EXPECT_EQ(proxy.GetProxyAddress(), "p1=h1:1;p2=h2");
    EXPECT_EQ(proxy.GetProxyPort(), "2");

    Browser("proxyhost");
    EXPECT_EQ(proxy.GetProxyAddress(), "proxyhost");
    EXPECT_EQ(proxy.GetProxyPort(), "");
}

TEST_F(ProxyRegistryTest, NoBrowserValueOrNoKeyGivesNothing) {
    EXPECT_EQ(GetIEProxyServer(), "");
    EXPECT_EQ(proxy.GetProxyAddress(), "");
    EXPECT_EQ(proxy.GetProxyPort(), "");
    sandbox.CreateKey(kInternetSettings);
    EXPECT_EQ(GetIEProxyServer(), "");
    EXPECT_EQ(proxy.GetProxyAddress(), "");
}

}  // namespace
