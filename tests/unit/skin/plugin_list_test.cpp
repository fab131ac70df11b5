// The host's plug-in list: its format, the screening, and when it is read again.
#include <gtest/gtest.h>

#include <memory>

#include "FakeHost.h"
#include "HostCrypt.h"
#include "HostDirFiles.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "PluginList.h"

namespace {

std::string Plugin(const std::string& alias, const std::string& clsid) {
    return "<plugin><channel>ch-" + alias + "</channel><alias>" + alias + "</alias><clsid>" +
           clsid + "</clsid></plugin>";
}

TEST(PluginListFormat, RecordsComeInFileOrderWithTheirThreeTexts) {
    std::vector<PluginRecord> records;
    ASSERT_TRUE(ParsePluginListText("<?xml version=\"1.0\"?><main>" + Plugin("a", "A") +
                                        "<other/>" + Plugin(" b ", "B") + "</main>",
                                    records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].alias, "a");
    EXPECT_EQ(records[0].clsid, "A");
    EXPECT_EQ(records[0].channel, "ch-a");
    EXPECT_EQ(records[1].alias, " b ");
    EXPECT_TRUE(ParsePluginListText("<main/>", records));
    EXPECT_TRUE(records.empty());
}

TEST(PluginListFormat, AChildOutOfOrderOrMissingFailsTheList) {
    std::vector<PluginRecord> records;
    EXPECT_FALSE(ParsePluginListText(
        "<main>" + Plugin("a", "A") +
            "<plugin><channel>c</channel><clsid>B</clsid><alias>b</alias></plugin></main>",
        records));
    EXPECT_EQ(records.size(), 1u);  // what came before stays, for the caller to drop
    EXPECT_FALSE(
        ParsePluginListText("<main><plugin><alias>a</alias><clsid>A</clsid></plugin>"
                            "</main>",
                            records));
    EXPECT_FALSE(ParsePluginListText("<list>" + Plugin("a", "A") + "</list>", records));
    EXPECT_FALSE(ParsePluginListText("<main>" + Plugin("a", "A"), records));
}

TEST(PluginListFormat, ScreenCodesAreTrimmedAndEmptyOnesKept) {
    EXPECT_EQ(SplitScreenCodes(" a ,\tb ,,"), (std::vector<std::string>{"a", "b", "", ""}));
    EXPECT_EQ(SplitScreenCodes("solo"), (std::vector<std::string>{"solo"}));
    EXPECT_TRUE(SplitScreenCodes("").empty());
}

class PluginListTest : public ::testing::Test {
protected:
    CLoginImpl& Login() {
        if (!login) {
            LoginEnvironment env;
            env.clock = std::make_shared<ManualClock>();
            login = std::make_unique<CLoginImpl>(&host.container, env);
        }
        return *login;
    }
    HostDirFiles files;
    FakeHost host;
    std::unique_ptr<CLoginImpl> login;
};

TEST_F(PluginListTest, ScreenedAliasesAreLeftOut) {
    files.WritePluginList("<main>" + Plugin("a", "A") + Plugin("b", "B") + Plugin("c", "C") +
                          "</main>");
    host.setting.Named("ServiceScreenCode", " a , b ");
    EXPECT_TRUE(Login().IsPluginUnlisted("A"));
    EXPECT_TRUE(Login().IsPluginUnlisted("B"));
    EXPECT_FALSE(Login().IsPluginUnlisted("C"));
    EXPECT_FALSE(Login().IsPluginUnlisted(""));
}

TEST_F(PluginListTest, AMalformedListOrNoScreeningSettingLeavesNothingListed) {
    host.setting.Named("ServiceScreenCode", "");
    files.WritePluginList("<main>" + Plugin("a", "A") +
                          "<plugin><channel>c</channel><clsid>B</clsid><alias>b</alias></plugin>"
                          "</main>");
    EXPECT_TRUE(Login().IsPluginUnlisted("A"));
    files.WritePluginList("<main>" + Plugin("a", "A") + "</main>");
    Login().RefreshPluginList();
    EXPECT_FALSE(Login().IsPluginUnlisted("A"));

    FakeHost unscreened;  // no ServiceScreenCode at all
    LoginEnvironment env;
    env.clock = std::make_shared<ManualClock>();
    CLoginImpl other(&unscreened.container, env);
    EXPECT_TRUE(other.IsPluginUnlisted("A"));
}

TEST_F(PluginListTest, TheListIsReadAgainWhenTheSkinSwitches) {
    HostCrypt crypt;
    host.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
    host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt("k"));
    host.setting.Named("ServiceScreenCode", "");
    host.comm.SetSpn("cmcc");
    files.WriteBrandTable(
        "<main><cardtype><name>cmcc</name><tag>3</tag><skinpath>s</skinpath>"
        "</cardtype></main>",
        "k");
    files.WritePluginList("<main>" + Plugin("a", "A") + "</main>");
    EXPECT_TRUE(Login().IsPluginUnlisted("D"));
    files.WritePluginList("<main>" + Plugin("a", "A") + Plugin("d", "D") + "</main>");
    int data = 0;
    Login().OnDeviceEvent(50082, &data);
    EXPECT_FALSE(Login().IsPluginUnlisted("D"));
}

}  // namespace
