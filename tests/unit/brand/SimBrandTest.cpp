// The SIM's brand through the login object: the SPN from the card, the encoded table beside the
// host program decoded by the reference host's crypt plug-in, and the failure values.
#include <gtest/gtest.h>

#include <future>

#include "BrandFixture.h"

namespace {

const char* const kTable =
    "<?xml version=\"1.0\"?>\n<main>\n"
    "  <cardtype><name>cmcc,China Mobile</name><tag>3</tag><skinpath>skins\\cm</skinpath>"
    "</cardtype>\n"
    "  <cardtype><name>default,</name><tag>1</tag><skinpath>skins\\default</skinpath>"
    "</cardtype>\n</main>\n";

class SimBrandTest : public BrandFixture {
protected:
    void SetUp() override { WriteBrandTable(kTable); }
};

TEST_F(SimBrandTest, TheSpnOrTheHostsDefaultNameFindsItsBrandInTheEncodedTable) {
    struct Case {
        const char* spn;
        const char* name;
        const char* tag;
        const char* skin;
    } cases[] = {{"CHINA MOBILE", "CHINA MOBILE", "3", "skins\\cm"},
                 {"Other Net", "Other Net", "", ""},
                 {"", "Default", "1", "skins\\default"}};
    host.strings.Set(11004, "Default");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spn);
        host.comm.SetSpn(c.spn);
        const SimCardInfo info = Login().GetSimCardInfo();
        EXPECT_EQ(info.name, c.name);
        EXPECT_EQ(info.tag, c.tag);
        EXPECT_EQ(info.skinpath, c.skin);
    }
    // Without the host's strings an empty SPN matches the list's empty item.
    host.container.Withdraw(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR);
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.name, "");
    EXPECT_EQ(info.tag, "1");
    EXPECT_EQ(trace.Count("GetSimCardInfo() exception!"), 0);
}

TEST_F(SimBrandTest, AFailedSpnReadOrNoCardKeepsTagZero) {
    host.strings.Set(11004, "Default");
    Login();
    host.comm.ScriptSpn({{false, "", 22}});
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "0");
    EXPECT_EQ(info.name, "Default");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(Login().GetErrorCode(), 22);
    TraceRecord record = trace.Find("pMTSComm->SRVGetSpnData() failed!");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");

    host.device.SetComm(nullptr);
    host.comm.SetSpn("cmcc");
    const int reads = host.comm.SpnReads();
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
    EXPECT_EQ(host.comm.SpnReads(), reads);
    record = trace.Find("pMTSComm is NULL!");
    EXPECT_EQ(record.level, 3);
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");
    EXPECT_EQ(host.device.Releases(),
              host.container.Queries(PLUGIN_ID_CHECK_DEVICE_TYPE, IID_CHECK_DEVICE_TYPE));
}

TEST_F(SimBrandTest, AMissingOrUnreadableTableOrNoKeyGivesTagZero) {
    host.comm.SetSpn("cmcc");
    files.Remove(HostDirFiles::kBrandTable);
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "0");
    EXPECT_EQ(info.name, "cmcc");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(trace.Find("GetSimCardInfo() exception!").level, 1);
    // The missing table is left behind empty.
    EXPECT_TRUE(std::filesystem::exists(files.Path(HostDirFiles::kBrandTable)));
    EXPECT_EQ(files.Read(HostDirFiles::kBrandTable), "");

    files.Write(HostDirFiles::kBrandTable, "<main>plain text is no encoded table</main>");
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
    WriteBrandTable(kTable);
    EXPECT_EQ(Login().GetSimCardInfo().tag, "3");
    host.setting.Sys("CRYPT", "CRYPT", "");
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
    EXPECT_EQ(trace.Find("setting CRYPT/CRYPT is missing").level, 2);
    host.container.Withdraw(PLUGIN_ID_CRYPT, IID_CRYPT);
    host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
    EXPECT_EQ(trace.Find("no crypt plug-in (ICryptPlugin) is served").level, 2);
}

TEST_F(SimBrandTest, StoppingTheLoginObjectEndsAWaitForABusyCard) {
    Login();
    host.comm.ScriptSpn({{false, "", 14}});
    auto info = std::async(std::launch::async, [this] { return Login().GetSimCardInfo(); });
    // The wait is on the login object's clock.
    ASSERT_TRUE(clock->WaitForSleep(0));
    const int reads = host.comm.SpnReads();
    Login().StopThread();
    EXPECT_EQ(info.get().tag, "0");
    EXPECT_EQ(host.comm.SpnReads(), reads);
    EXPECT_EQ(Login().GetErrorCode(), 14);
}

}  // namespace
