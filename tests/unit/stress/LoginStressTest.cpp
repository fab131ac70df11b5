// The host's threads and the worker at once: device events, listeners, starts and the state
// queries while the worker runs its passes. Meant for ThreadSanitizer, which reports any race;
// the checks at the end hold whatever the worker does in its passes.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "PatientClock.h"
#include "TempDir.h"
#include "RegistrySandbox.h"

namespace {

constexpr int kRounds = 400;

class QuietListener : public ISkinControlEvent {
public:
    int32_t OnSkinChange(SkinChangeInfo*) override {
        ++m_nCalls;
        return 1;
    }
    std::atomic<int> m_nCalls{0};
};

TEST(LoginStressTest, HostThreadsAndTheWorkerNeverRace) {
    RegistrySandbox sandbox;
    sandbox.CreateKey(LOGIN_REGISTRY_PRODUCT_KEY);
    FakeHost host;
    host.comm.ScriptImsi({{true, "460001111111111", 0},
                          {false, "", 5},
                          {true, "", 0},
                          {true, "460002222222222", 0}});
    TempDir dir;
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.WithSeparator());
    auto clock = std::make_shared<PatientClock>();
    auto login = std::make_unique<CLoginImpl>(&host.container, LoginEnvironment{clock, {}});
    clock->m_fnDone = [&login] { return !login->IsRunning(); };
    ASSERT_TRUE(login->StartLogin());

    std::atomic<bool> done{false};
    // Moves the worker through its passes for as long as the host threads run.
    std::thread time([&] {
        while (!done) {
            clock->Advance(1000);
            std::this_thread::yield();
        }
    });

    QuietListener listeners[4];
    int data = 0;
    std::vector<std::thread> hosts;
    for (int t = 0; t < 4; ++t) {
        hosts.emplace_back([&, t] {
            QuietListener& mine = listeners[t];
            for (int i = 0; i < kRounds; ++i) {
                login->OnDeviceEvent(i % 3 == 0 ? DEVICE_EVENT_AVAILABLE : DEVICE_EVENT_CHANGED,
                                     &data);
                login->SetEventHandler(&mine);
                login->SetEventHandler(&mine);
                login->IsLoginSuccess();
                login->GetErrorCode();
                login->DetectIsLogining();
                if (i % 50 == t) login->StartLogin();
                login->GetIMSI();
                login->GetPassword();
                login->GetLoginResult();
                login->IsPluginUnlisted("{A}");
                login->EventHandlers();
                login->RemoveEventHandler(&mine);
            }
        });
    }
    for (auto& h : hosts) h.join();
    done = true;
    time.join();

    // Every listener added was removed, whatever order the threads ran in.
    EXPECT_TRUE(login->EventHandlers().empty());
    // The cache holds one of the card's answers or a default identity.
    const std::string imsi = login->GetIMSI();
    const std::set<std::string> card{"460001111111111", "460002222222222"};
    EXPECT_TRUE(card.count(imsi) == 1 || (imsi.size() == 15 && imsi[0] == '9')) << imsi;
    EXPECT_TRUE(login->StopThread());
    EXPECT_FALSE(login->IsRunning());
    EXPECT_FALSE(login->IsAbandoned());
}

}  // namespace
