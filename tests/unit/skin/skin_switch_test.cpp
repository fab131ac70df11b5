// The skin switch: what is written to the host, what it is handed, and who is told how often.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "FakeHost.h"
#include "HostCrypt.h"
#include "HostDirFiles.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "TraceCapture.h"

namespace {

const char* const kWorkingKey = "skin table key";

std::string Card(const std::string& name, const std::string& tag, const std::string& skin) {
    return "<cardtype><name>" + name + "</name><tag>" + tag + "</tag><skinpath>" + skin +
           "</skinpath></cardtype>";
}

const std::string kTable = "<main>" + Card("cmcc,China Mobile", "3", "skins\\cm") +
                           Card("unicom", "4", "skins\\cu") + Card("Five,5G", "5", "s5") +
                           Card("zero", "0", "skins\\zero") + Card("bare", "8", "") +
                           "<cardtype><tag>6</tag><name>six</name><skinpath>s6</skinpath>"
                           "</cardtype></main>";

class RecordingListener : public ISkinControlEvent {
public:
    int32_t OnSkinChange(SkinChangeInfo* pInfo) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_calls.emplace_back(pInfo->nSimType, std::string(pInfo->szName));
        }
        if (onCall) onCall();
        return 1;
    }
    std::vector<std::pair<int32_t, std::string>> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::function<void()> onCall;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int32_t, std::string>> m_calls;
};

using Calls = std::vector<std::pair<int32_t, std::string>>;

class SkinSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
        host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
        host.setting.Sys("SIMTYPE", "ACTIVE", "2");
        host.comm.SetSpn("CMCC");
        files.WriteBrandTable(kTable, kWorkingKey);
    }
    CLoginImpl& Login() {
        if (!login) {
            LoginEnvironment env;
            env.clock = std::make_shared<ManualClock>();
            login = std::make_unique<CLoginImpl>(&host.container, env);
        }
        return *login;
    }
    bool DeviceEvent(int32_t code) { return Login().OnDeviceEvent(code, &eventData); }

    HostDirFiles files;
    FakeHost host;
    HostCrypt crypt;
    TraceCapture trace;
    int eventData = 0;
    RecordingListener first;
    RecordingListener second;
    std::unique_ptr<CLoginImpl> login;
};

TEST_F(SkinSwitchTest, ANewBrandIsStoredHandedToTheHostAndToldOncePerChange) {
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&second);
    const size_t simTypesAtStart = host.setting.SimTypeNumbers().size();

    EXPECT_TRUE(DeviceEvent(50082));
    EXPECT_EQ(host.setting.SysWrites(),
              (std::vector<std::string>{"SIMTYPE/ACTIVE=3", "SKIN/ACTIVE=skins\\cm"}));
    const auto simTypes = host.setting.SimTypeNumbers();
    ASSERT_EQ(simTypes.size(), simTypesAtStart + 1);
    EXPECT_EQ(simTypes.back(), 3);
    EXPECT_EQ(first.Calls(), (Calls{{3, "CMCC"}}));
    EXPECT_EQ(second.Calls(), (Calls{{3, "CMCC"}}));
    const TraceRecord record = trace.Find("(*it)->OnSkinChange()");
    EXPECT_EQ(record.level, 4);
    EXPECT_EQ(record.module, "LoginPlugin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");

    // The same state again does nothing; a new state checks again but the brand is stored.
    DeviceEvent(50082);
    DeviceEvent(50083);
    DeviceEvent(50082);
    EXPECT_EQ(host.setting.SysWrites().size(), 2u);
    EXPECT_EQ(first.Calls().size(), 1u);
    EXPECT_EQ(trace.Count("(*it)->OnSkinChange()"), 2);
}

TEST_F(SkinSwitchTest, TheStoredSimTypeMeansNoSwitch) {
    host.setting.Sys("SIMTYPE", "ACTIVE", "3");
    Login().SetEventHandler(&first);
    DeviceEvent(50082);
    EXPECT_TRUE(host.setting.SysWrites().empty());
    EXPECT_TRUE(first.Calls().empty());
}

TEST_F(SkinSwitchTest, TagZeroAnEmptySkinPathOrNoBrandChangesNothing) {
    Login().SetEventHandler(&first);
    for (const char* spn : {"zero", "bare", "nobody"}) {
        host.comm.SetSpn(spn);
        Login().CheckSimCardType("");
    }
    EXPECT_TRUE(host.setting.SysWrites().empty());
    EXPECT_TRUE(first.Calls().empty());
}

TEST_F(SkinSwitchTest, ASimTypeFromTheHostIsFoundByItsTagAndToldWithTheWholeNameList) {
    Login().SetEventHandler(&first);
    const int spnReads = host.comm.SpnReads();
    Login().CheckSimCardType("5");
    EXPECT_EQ(host.setting.SysWrites(),
              (std::vector<std::string>{"SIMTYPE/ACTIVE=5", "SKIN/ACTIVE=s5"}));
    EXPECT_EQ(host.setting.SimTypeNumbers().back(), 5);
    EXPECT_EQ(first.Calls(), (Calls{{5, "Five,5G"}}));
    EXPECT_EQ(host.comm.SpnReads(), spnReads);
}

TEST_F(SkinSwitchTest, ASimTypeNoBrandCarriesInOrderChangesNothing) {
    Login().SetEventHandler(&first);
    Login().CheckSimCardType("6");  // its tag comes before its name
    Login().CheckSimCardType("9");
    Login().CheckSimCardType("05");
    files.WriteRawBrandTable("not an encoded table");
    Login().CheckSimCardType("5");
    EXPECT_TRUE(host.setting.SysWrites().empty());
    EXPECT_TRUE(first.Calls().empty());
}

TEST_F(SkinSwitchTest, AListenerTwiceIsToldTwiceAndOneRemovedMeanwhileIsSkipped) {
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&second);
    first.onCall = [this] { Login().RemoveEventHandler(&second); };
    DeviceEvent(50082);
    EXPECT_EQ(first.Calls().size(), 2u);
    EXPECT_TRUE(second.Calls().empty());
}

TEST_F(SkinSwitchTest, AThrowingListenerDoesNotEscape) {
    class Throwing : public ISkinControlEvent {
    public:
        int32_t OnSkinChange(SkinChangeInfo*) override { throw std::runtime_error("bad skin"); }
    } throwing;
    Login().SetEventHandler(&throwing);
    EXPECT_TRUE(DeviceEvent(50082));
    EXPECT_EQ(trace.Find("CLoginImpl::CheckSimCardType() exception!").level, 1);
    // Settings were released before the listeners were told.
    EXPECT_EQ(host.setting.Releases(), host.container.Queries(PLUGIN_ID_SETTING, IID_SETTING));
}

TEST_F(SkinSwitchTest, ALongNameIsCutBeforeACharacterThatWouldNotFit) {
    const std::string longName = std::string(258, 'n') + "\xD6\xD0";
    files.WriteBrandTable("<main>" + Card(longName, "7", "s7") + "</main>", kWorkingKey);
    Login().SetEventHandler(&first);
    Login().CheckSimCardType("7");
    ASSERT_EQ(first.Calls().size(), 1u);
    EXPECT_EQ(first.Calls()[0].second, std::string(258, 'n'));
}

TEST_F(SkinSwitchTest, ListenersMayComeAndGoWhileTheSkinSwitches) {
    Login().SetEventHandler(&first);
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done) {
            Login().SetEventHandler(&second);
            Login().RemoveEventHandler(&second);
        }
    });
    for (int i = 0; i < 50; ++i) Login().CheckSimCardType(i % 2 ? "4" : "5");
    done = true;
    churn.join();
    EXPECT_EQ(first.Calls().size(), 50u);
}

TEST_F(SkinSwitchTest, TheHostGetsTheBrandsSimTypeOrElseTheStoredOne) {
    Login();
    EXPECT_EQ(host.setting.SimTypeNumbers(), (std::vector<int32_t>{3}));  // at construction
    host.comm.SetSpn("nobody");
    EXPECT_TRUE(Login().InitSimBrandSetting(""));
    EXPECT_EQ(host.setting.SimTypeNumbers().back(), 2);
    EXPECT_TRUE(Login().InitSimBrandSetting("12"));
    EXPECT_EQ(host.setting.SimTypeNumbers().back(), 12);

    FakeHost bare;  // nothing stored, and a card that is in no brand
    bare.comm.SetSpn("nobody");
    bare.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
    bare.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
    LoginEnvironment env;
    env.clock = std::make_shared<ManualClock>();
    CLoginImpl other(&bare.container, env);
    EXPECT_FALSE(other.InitSimBrandSetting(""));
    EXPECT_TRUE(bare.setting.SimTypeNumbers().empty());
}

}  // namespace
