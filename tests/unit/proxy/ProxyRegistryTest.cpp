// The browser's proxy type: address and port from the current user's Internet Settings.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "ProxyInfoImpl.h"
#include "RegistrySandbox.h"

namespace {

const char* const kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TEST(ProxyRegistryTest, TheBrowserValueIsSplitAtItsLastColon) {
    RegistrySandbox sandbox;
    FakeHost host;
    host.setting.User("PROXY", "TYPE", "2");
    host.setting.User("PROXY", "ADDRESS", "ignored");
    host.setting.User("PROXY", "PORT", "1");
    CProxyInfoImpl proxy{&host.container};
    EXPECT_EQ(GetIEProxyServer(), "");
    EXPECT_EQ(proxy.GetProxyAddress(), "");
    sandbox.CreateKey(kInternetSettings);
    EXPECT_EQ(GetIEProxyServer(), "");
    EXPECT_EQ(proxy.GetProxyPort(), "");

    sandbox.SetString(kInternetSettings, "ProxyServer", "p1=h1:1;p2=h2:2");
    EXPECT_EQ(GetIEProxyServer(), "p1=h1:1;p2=h2:2");
    EXPECT_EQ(proxy.GetProxyType(), 2);
    EXPECT_EQ(proxy.GetProxyAddress(), "p1=h1:1;p2=h2");
    EXPECT_EQ(proxy.GetProxyPort(), "2");
}

}  // namespace
