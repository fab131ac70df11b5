// The SIM's brand through the login object: the SPN from the card, the encoded table beside the
// host program decoded by the reference host's crypt plug-in, and the failure values.
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "FakeHost.h"
#include "HostCrypt.h"
#include "HostDirFiles.h"
#include "LoginImpl.h"
#include "RecordingClock.h"
#include "TraceCapture.h"

namespace {

const char* const kWorkingKey = "brand table key";
const char* const kLoginSource = "src\\LoginPlugin\\LoginImpl";

const char* const kTable =
    "<?xml version=\"1.0\"?>\n"
    "<main>\n"
    "  <cardtype><name>cmcc,China Mobile</name><tag>3</tag><skinpath>skins\\cm</skinpath>"
    "</cardtype>\n"
    "  <cardtype><name>default,</name><tag>1</tag><skinpath>skins\\default</skinpath>"
    "</cardtype>\n"
    "</main>\n";

class SimBrandTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
        host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
        files.WriteBrandTable(kTable, kWorkingKey);
    }
    // Made after the test has set the host up; its constructor reads the card once already.
    CLoginImpl& Login() {
        if (!login) {
            LoginEnvironment env;
            env.clock = clock;
            login = std::make_unique<CLoginImpl>(&host.container, env);
        }
        return *login;
    }

    HostDirFiles files;
    FakeHost host;
    HostCrypt crypt;
    std::shared_ptr<RecordingClock> clock = std::make_shared<RecordingClock>();
    TraceCapture trace;
    std::unique_ptr<CLoginImpl> login;
};

TEST_F(SimBrandTest, TheSpnFindsItsBrandInTheEncodedTable) {
    host.comm.SetSpn("CHINA MOBILE");
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "3");
    EXPECT_EQ(info.name, "CHINA MOBILE");
    EXPECT_EQ(info.skinpath, "skins\\cm");
    EXPECT_EQ(trace.Count("GetSimCardInfo() exception!"), 0);
}

TEST_F(SimBrandTest, AnEmptySpnIsLookedUpByTheHostsDefaultName) {
    host.strings.Set(11004, "Default");
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.name, "Default");
    EXPECT_EQ(info.tag, "1");
    EXPECT_EQ(info.skinpath, "skins\\default");
}

TEST_F(SimBrandTest, WithoutStringsAnEmptySpnMatchesTheEmptyItem) {
    host.container.Withdraw(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR);
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.name, "");
    EXPECT_EQ(info.tag, "1");
}

TEST_F(SimBrandTest, ABrandNotInTheTableGivesEmptyTagAndSkinPath) {
    host.comm.SetSpn("Other Net");
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(info.name, "Other Net");
}

TEST_F(SimBrandTest, AFailedSpnReadKeepsTagZeroAndTheDevicesError) {
    host.strings.Set(11004, "Default");
    Login();
    host.comm.ScriptSpn({{false, "", 22}});
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "0");
    EXPECT_EQ(info.name, "Default");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(Login().GetErrorCode(), 22);
    const TraceRecord record = trace.Find("pMTSComm->SRVGetSpnData() failed!");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, kLoginSource);
    EXPECT_EQ(trace.Count("DEVGetSimBrand() file not found.", 1), 1);
}

TEST_F(SimBrandTest, NoCommunicationInterfaceGivesTagZero) {
    host.device.SetComm(nullptr);
    host.comm.SetSpn("cmcc");
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "0");
    EXPECT_EQ(host.comm.SpnReads(), 0);
    const TraceRecord record = trace.Find("pMTSComm is NULL!");
    EXPECT_EQ(record.level, 3);
    EXPECT_EQ(record.source, kLoginSource);
    // The device interface was released each time it was fetched.
    EXPECT_EQ(host.device.Releases(),
              host.container.Queries(PLUGIN_ID_CHECK_DEVICE_TYPE, IID_CHECK_DEVICE_TYPE));
}

TEST_F(SimBrandTest, AMissingTableIsLeftBehindEmptyAndGivesTagZero) {
    files.RemoveBrandTable();
    host.comm.SetSpn("cmcc");
    const SimCardInfo info = Login().GetSimCardInfo();
    EXPECT_EQ(info.tag, "0");
    EXPECT_EQ(info.name, "cmcc");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(trace.Find("GetSimCardInfo() exception!").level, 1);
    EXPECT_TRUE(files.BrandTableExists());
    EXPECT_EQ(files.ReadBrandTable(), "");
}

TEST_F(SimBrandTest, AnUnreadableTableOrNoKeyGivesTagZero) {
    host.comm.SetSpn("cmcc");
    files.WriteRawBrandTable("<main>plain text is no encoded table</main>");
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");

    files.WriteBrandTable(kTable, kWorkingKey);
    EXPECT_EQ(Login().GetSimCardInfo().tag, "3");
    host.setting.Sys("CRYPT", "CRYPT", "");
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
    host.container.Withdraw(PLUGIN_ID_CRYPT, IID_CRYPT);
    host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
    EXPECT_EQ(Login().GetSimCardInfo().tag, "0");
}

TEST_F(SimBrandTest, ABusyCardIsReadAgainOnTheLoginObjectsClock) {
    Login();
    host.comm.ScriptSpn({{false, "", 14}, {false, "", 14}, {true, "cmcc", 0}});
    auto info = std::async(std::launch::async, [this] { return Login().GetSimCardInfo(); });
    ASSERT_TRUE(clock->FinishSleep(0, 2000));
    ASSERT_TRUE(clock->FinishSleep(1, 2000));
    EXPECT_EQ(info.get().tag, "3");
    EXPECT_EQ(trace.Count("DEVGetSimBrand() sim busy, try again."), 2);
}

TEST_F(SimBrandTest, DestroyingTheLoginObjectEndsAWaitForTheCard) {
    Login();
    host.comm.ScriptSpn({{false, "", 14}});
    auto info = std::async(std::launch::async, [this] { return Login().GetSimCardInfo(); });
    ASSERT_TRUE(clock->WaitForSleep(0));
    const int reads = host.comm.SpnReads();
    Login().StopThread();
    EXPECT_EQ(info.get().tag, "0");
    EXPECT_EQ(host.comm.SpnReads(), reads);
    EXPECT_EQ(Login().GetErrorCode(), 14);
}

}  // namespace
