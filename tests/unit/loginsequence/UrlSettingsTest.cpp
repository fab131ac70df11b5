// The two URL getters: the host's system settings "LOGIN"/"URL" and "REGISTER"/"URL".
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "libs/trace/TraceCapture.h"

namespace {

class UrlSettingsTest : public ::testing::Test {
protected:
    FakeHost host;
    TraceCapture trace;
};

TEST_F(UrlSettingsTest, UrlsAreTheSettingsAsGivenAndTheSettingIsReleased) {
    CLoginImpl login(&host.container);
    host.setting.Sys("LOGIN", "URL", " https://a.example/login ");
    host.setting.Sys("REGISTER", "URL", "https://a.example/register");
    const int before = host.setting.Releases();
    EXPECT_EQ(login.GetLoginUrl(), " https://a.example/login ");
    EXPECT_EQ(login.GetRegisterUrl(), "https://a.example/register");
    EXPECT_EQ(host.setting.Releases() - before, 2);
}

TEST_F(UrlSettingsTest, EachFailureHasItsTrace) {
    CLoginImpl login(&host.container);
    const int before = host.setting.Releases();
    EXPECT_EQ(login.GetLoginUrl(), "");
    EXPECT_TRUE(trace.Has("pISetting->GetSysSetting() failed!", 2));
    EXPECT_TRUE(trace.Has("setting LOGIN/URL is missing", 2));
    EXPECT_EQ(host.setting.Releases() - before, 1);

    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    EXPECT_EQ(login.GetRegisterUrl(), "");
    EXPECT_TRUE(trace.Has("m_pPluginContainer->QueryInterface() failed!", 2));

    host.container.Serve(PLUGIN_ID_SETTING, IID_SETTING, nullptr);
    EXPECT_EQ(login.GetLoginUrl(), "");
    EXPECT_TRUE(trace.Has("pISetting == NULL failed!", 2));
}

TEST_F(UrlSettingsTest, WithoutAContainerOnlyTheLoginUrlSaysSo) {
    CLoginImpl login(nullptr);
    trace.Clear();
    EXPECT_EQ(login.GetRegisterUrl(), "");
    EXPECT_TRUE(trace.Records().empty());
    EXPECT_EQ(login.GetLoginUrl(), "");
    EXPECT_TRUE(trace.Has("m_pPluginContainer is NULL!", 4));
}

}  // namespace
