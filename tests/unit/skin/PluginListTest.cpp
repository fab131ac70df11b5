// The host's plug-in list: its format, the screening, and when it is read again.
#include <gtest/gtest.h>

#include "BrandFixture.h"
#include "PluginList.h"

namespace {

std::string Plugin(const std::string& alias, const std::string& clsid) {
    return "<plugin><channel>ch-" + alias + "</channel><alias>" + alias + "</alias><clsid>" +
           clsid + "</clsid></plugin>";
}
const std::string kOutOfOrder =
    "<plugin><channel>c</channel><clsid>B</clsid><alias>b</alias></plugin>";

TEST(PluginListFormat, RecordsInFileOrderAndAnyFlawFailsTheList) {
    std::vector<PluginRecord> records;
    ASSERT_TRUE(ParsePluginListText("<?xml version=\"1.0\"?><main>" + Plugin("a", "A") +
                                        "<other/>" + Plugin(" b ", "B") + "</main>",
                                    records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].channel + records[0].alias + records[0].clsid, "ch-aaA");
    EXPECT_EQ(records[1].alias, " b ");
    for (const std::string& bad :
         {"<main>" + Plugin("a", "A") + kOutOfOrder + "</main>",
          "<list>" + Plugin("a", "A") + "</list>", "<main>" + Plugin("a", "A")})
        EXPECT_FALSE(ParsePluginListText(bad, records)) << bad;
    EXPECT_EQ(SplitScreenCodes(" a ,\tb ,,"), (std::vector<std::string>{"a", "b", "", ""}));
}

using PluginListTest = BrandFixture;

// Class ids of one family share their first characters: only the whole id names a plug-in.
TEST_F(PluginListTest, ScreenedAliasesAreLeftOut) {
    const std::string family = "{6B29FC40-CA47-1067-B31D-00DD010662D";
    files.Write(HostDirFiles::kPluginList, "<main>" + Plugin("a", family + "A}") +
                                               Plugin("b", family + "B}") +
                                               Plugin("c", family + "C}") + "</main>");
    host.setting.Named("ServiceScreenCode", " a , b ");
    for (const auto& [clsid, bUnlisted] : {std::pair<std::string, bool>{family + "A}", true},
                                           {family + "B}", true},
                                           {family + "C}", false},
                                           {family, true},
                                           {family + "C}x", true},
                                           {"", false}}) {
        EXPECT_EQ(Login().IsPluginUnlisted(clsid), bUnlisted) << clsid;
    }
}

TEST_F(PluginListTest, AMalformedListOrNoScreeningSettingLeavesNothingListed) {
    host.setting.Named("ServiceScreenCode", "");
    files.Write(HostDirFiles::kPluginList, "<main>" + Plugin("a", "A") + kOutOfOrder + "</main>");
    EXPECT_TRUE(Login().IsPluginUnlisted("A"));
    files.Write(HostDirFiles::kPluginList, "<main>" + Plugin("a", "A") + "</main>");
    Login().RefreshPluginList();
    EXPECT_FALSE(Login().IsPluginUnlisted("A"));

    FakeHost unscreened;  // no ServiceScreenCode at all
    CLoginImpl other(&unscreened.container, {std::make_shared<ManualClock>(), {}});
    other.Prepare();
    EXPECT_TRUE(other.IsPluginUnlisted("A"));
}

TEST_F(PluginListTest, TheListIsReadAgainWhenTheSkinSwitches) {
    host.setting.Named("ServiceScreenCode", "");
    host.comm.SetSpn("cmcc");
    WriteBrandTable(
        "<main><cardtype><name>cmcc</name><tag>3</tag><skinpath>s</skinpath></cardtype></main>");
    files.Write(HostDirFiles::kPluginList, "<main>" + Plugin("a", "A") + "</main>");
    EXPECT_TRUE(Login().IsPluginUnlisted("D"));
    files.Write(HostDirFiles::kPluginList,
                "<main>" + Plugin("a", "A") + Plugin("d", "D") + "</main>");
    int data = 0;
    Login().OnDeviceEvent(DEVICE_EVENT_AVAILABLE, &data);
    EXPECT_FALSE(Login().IsPluginUnlisted("D"));
}

}  // namespace
