// Where the browser keeps no proxy value, the POSIX face offers the environment's proxy.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "FakeHost.h"
#include "ProxyInfoImpl.h"
#include "RegistrySandbox.h"

namespace {

TEST(ProxyEnvironmentTest, TheEnvironmentStandsInOnlyForAMissingValue) {
    RegistrySandbox sandbox;
    FakeHost host;
    host.setting.User("PROXY", "TYPE", "2");
    CProxyInfoImpl proxy(&host.container);
    setenv("https_proxy", "http://gate.example:8443/", 1);
    EXPECT_EQ(proxy.GetProxyAddress(), "gate.example");
    EXPECT_EQ(proxy.GetProxyPort(), "8443");

    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    sandbox.CreateKey(key);
    sandbox.SetString(key, "ProxyServer", "10.9.9.9:81");
    EXPECT_EQ(proxy.GetProxyAddress(), "10.9.9.9");
    EXPECT_EQ(proxy.GetProxyPort(), "81");
    unsetenv("https_proxy");
}

}  // namespace
