// The skin switch: what is written to the host, what it is handed, and who is told how often.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

#include "BrandFixture.h"

namespace {

const char* const kTold = "(*it)->OnSkinChange()";

const std::string kTable = "<main>" + Card("cmcc,China Mobile", "3", "skins\\cm") +
                           Card("unicom", "4", "skins\\cu") + Card("Five,5G", "5", "s5") +
                           Card("zero", "0", "skins\\zero") + Card("bare", "8", "") +
                           "<cardtype><tag>6</tag><name>six</name><skinpath>s6</skinpath>"
                           "</cardtype></main>";

using Calls = std::vector<std::pair<int32_t, std::string>>;
using Writes = std::vector<std::string>;

// Told on the thread that switches the skin, which is the test's own.
struct RecordingListener : ISkinControlEvent {
    int32_t OnSkinChange(SkinChangeInfo* pInfo) override {
        calls.emplace_back(pInfo->nSimType, pInfo->szName);
        if (onCall) onCall();
        return 1;
    }
    Calls calls;
    std::function<void()> onCall;
};

class SkinSwitchTest : public BrandFixture {
protected:
    void SetUp() override {
        host.setting.Sys("SIMTYPE", "ACTIVE", "2");
        host.comm.SetSpn("CMCC");
        WriteBrandTable(kTable);
    }
    bool DeviceEvent(int32_t code) { return Login().OnDeviceEvent(code, &eventData); }

    int eventData = 0;
    RecordingListener first;
    RecordingListener second;
};

TEST_F(SkinSwitchTest, ANewBrandIsStoredHandedToTheHostAndToldOncePerChange) {
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&second);
    const size_t simTypesAtStart = host.setting.SimTypeNumbers().size();

    EXPECT_TRUE(DeviceEvent(DEVICE_EVENT_AVAILABLE));
    EXPECT_EQ(host.setting.SysWrites(), (Writes{"SIMTYPE/ACTIVE=3", "SKIN/ACTIVE=skins\\cm"}));
    const auto simTypes = host.setting.SimTypeNumbers();
    ASSERT_EQ(simTypes.size(), simTypesAtStart + 1);
    EXPECT_EQ(simTypes.back(), 3);
    EXPECT_EQ(first.calls, (Calls{{3, "CMCC"}}));
    EXPECT_EQ(second.calls, (Calls{{3, "CMCC"}}));
    const TraceRecord record = trace.Find(kTold);
    EXPECT_EQ(record.level, 4);
    EXPECT_EQ(record.module, "LoginPlugin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");

    // The same state again does nothing; a new state checks again but the brand is stored.
    DeviceEvent(DEVICE_EVENT_AVAILABLE);
    DeviceEvent(DEVICE_EVENT_CHANGED);
    DeviceEvent(DEVICE_EVENT_AVAILABLE);
    EXPECT_EQ(host.setting.SysWrites().size(), 2u);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(trace.Count(kTold), 2);
}

TEST_F(SkinSwitchTest, NoUsableBrandOrTheStoredSimTypeChangesNothing) {
    Login().SetEventHandler(&first);
    // Tag "0", an empty skin path, no brand at all.
    for (const char* spn : {"zero", "bare", "nobody"}) {
        host.comm.SetSpn(spn);
        Login().CheckSimCardType("");
    }
    // Sim types given by the host: a tag before its name, none, not exactly equal.
    for (const char* simType : {"6", "9", "05"}) Login().CheckSimCardType(simType);
    files.Write(HostDirFiles::kBrandTable, "not an encoded table");
    Login().CheckSimCardType("5");
    WriteBrandTable(kTable);
    host.setting.Sys("SIMTYPE", "ACTIVE", "3");
    host.comm.SetSpn("CMCC");
    Login().CheckSimCardType("");
    EXPECT_TRUE(host.setting.SysWrites().empty());
    EXPECT_TRUE(first.calls.empty());
}

TEST_F(SkinSwitchTest, ASimTypeFromTheHostIsFoundByItsTagAndToldWithTheWholeNameList) {
    Login().SetEventHandler(&first);
    const int spnReads = host.comm.SpnReads();
    Login().CheckSimCardType("5");
    EXPECT_EQ(host.setting.SysWrites(), (Writes{"SIMTYPE/ACTIVE=5", "SKIN/ACTIVE=s5"}));
    EXPECT_EQ(host.setting.SimTypeNumbers().back(), 5);
    EXPECT_EQ(host.comm.SpnReads(), spnReads);
    // A long name is cut before a character that would not fit.
    WriteBrandTable("<main>" + Card(std::string(258, 'n') + "\xD6\xD0", "7", "s7") + "</main>");
    Login().CheckSimCardType("7");
    EXPECT_EQ(first.calls, (Calls{{5, "Five,5G"}, {7, std::string(258, 'n')}}));
}

TEST_F(SkinSwitchTest, AListenerTwiceIsToldTwiceAndOneRemovedMeanwhileIsSkipped) {
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&first);
    Login().SetEventHandler(&second);
    first.onCall = [this] { Login().RemoveEventHandler(&second); };
    DeviceEvent(DEVICE_EVENT_AVAILABLE);
    EXPECT_EQ(first.calls.size(), 2u);
    EXPECT_TRUE(second.calls.empty());
}

TEST_F(SkinSwitchTest, AListenerMayRemoveItselfAndAddAnotherFromItsOwnCall) {
    Login().SetEventHandler(&first);
    first.onCall = [this] {
        Login().RemoveEventHandler(&first);
        Login().SetEventHandler(&second);
    };
    Login().CheckSimCardType("5");
    Login().CheckSimCardType("4");
    EXPECT_EQ(first.calls, (Calls{{5, "Five,5G"}}));
    EXPECT_EQ(second.calls, (Calls{{4, "unicom"}}));
}

// A dialog deletes itself once RemoveEventHandler returns: from then on no call may reach it,
// not even one that a skin switch on another thread had already begun. A listener that stays is
// told of every switch meanwhile.
TEST_F(SkinSwitchTest, NoCallRunsOnAListenerOnceItsRemovalHasReturned) {
    Login().SetEventHandler(&first);
    struct Watched : ISkinControlEvent {
        int32_t OnSkinChange(SkinChangeInfo*) override {
            for (int i = 0; i < 200; ++i) std::this_thread::yield();
            if (bRemoved) ++lateCalls;
            ++calls;
            return 1;
        }
        std::atomic<bool> bRemoved{false};
        std::atomic<int> calls{0};
        std::atomic<int> lateCalls{0};
    } watched;
    CLoginImpl& login = Login();  // made before the second thread uses it
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done) {
            watched.bRemoved = false;
            login.SetEventHandler(&watched);
            login.RemoveEventHandler(&watched);
            watched.bRemoved = true;
        }
    });
    int switches = 0;
    for (; switches < 20000 && watched.calls < 40; ++switches)
        login.CheckSimCardType(switches % 2 ? "4" : "5");
    done = true;
    churn.join();
    EXPECT_EQ(watched.calls, 40);
    EXPECT_EQ(watched.lateCalls, 0);
    EXPECT_EQ(first.calls.size(), static_cast<size_t>(switches));
}

TEST_F(SkinSwitchTest, AThrowingListenerDoesNotEscape) {
    first.onCall = [] { throw std::runtime_error("bad skin"); };
    Login().SetEventHandler(&first);
    EXPECT_TRUE(DeviceEvent(DEVICE_EVENT_AVAILABLE));
    EXPECT_EQ(trace.Find("CLoginImpl::CheckSimCardType() exception!").level, 1);
    // Settings were released before the listeners were told.
    EXPECT_EQ(host.setting.Releases(), host.container.Queries(PLUGIN_ID_SETTING, IID_SETTING));
}

}  // namespace
