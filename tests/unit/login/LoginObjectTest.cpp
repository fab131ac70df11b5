// The login object: device events, skin-change listeners, the host interfaces it asks for, and
// starting and stopping its worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "global/Clock.h"
#include "FakeHost.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "PatientClock.h"
#include "RegistrySandbox.h"
#include "libs/trace/TraceCapture.h"

namespace {

// "设备可用!" and "检查SIM卡品牌，发送换肤消息!" in GBK.
const std::string kDeviceAvailable = "\xC9\xE8\xB1\xB8\xBF\xC9\xD3\xC3!";
const std::string kCheckBrand =
    "\xBC\xEC\xB2\xE9SIM\xBF\xA8\xC6\xB7\xC5\xC6\xA3\xAC\xB7\xA2\xCB\xCD\xBB\xBB\xB7\xF4\xCF\xFB"
    "\xCF\xA2!";

// A login object whose worker only counts its starts and waits for the stop request, or, when
// told to, ignores it as a worker stuck in a call would. Its stop-budget polls return once the
// worker has ended or is stuck outside every lock (where Windows kills it), so that a willing
// worker is never killed however slowly it runs.
class ScriptedWorkerLogin : public CLoginImpl {
public:
    explicit ScriptedWorkerLogin(IPluginContainer* pContainer, std::shared_ptr<PatientClock> clock =
                                                                   std::make_shared<PatientClock>())
        : CLoginImpl(pContainer, {clock, {}}), m_pClock(std::move(clock)) {
        m_pClock->m_fnDone = [this] { return m_bInStuckLoop || !IsRunning(); };
    }
    // The worker runs this class's body: it must end before this class's members go.
    ~ScriptedWorkerLogin() override {
        StopThread();
        m_bStuck = false;
        while (IsRunning()) std::this_thread::yield();
    }
    std::shared_ptr<PatientClock> m_pClock;
    std::atomic<int> m_nStarts{0};
    std::atomic<bool> m_bStuck{false};
    std::atomic<bool> m_bInStuckLoop{false};

protected:
    void* Thread() override {
        ++m_nStarts;
        ThreadStarted();
        while (!m_pClock->IsStopped()) m_pClock->Sleep(1000);
        m_bInStuckLoop = m_bStuck.load();
        while (m_bStuck) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return nullptr;
    }
};

class LoginObjectTest : public ::testing::Test {
protected:
    RegistrySandbox sandbox;  // the worker may look for the default identity
    FakeHost host;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TraceCapture trace;
};

TEST_F(LoginObjectTest, DeviceEventsActOnEachChangeOfState) {
    CLoginImpl login(&host.container, {clock, {}});
    login.Release();  // the plug-in object owns it: nothing happens
    EXPECT_EQ(login.DetectIsLogining(), 1);
    int data = 0;
    const int reads = host.comm.ImsiReads();
    trace.Clear();
    EXPECT_FALSE(login.OnDeviceEvent(DEVICE_EVENT_AVAILABLE, nullptr));
    EXPECT_FALSE(login.OnDeviceEvent(DEVICE_EVENT_CHANGED, nullptr));
    EXPECT_TRUE(login.OnDeviceEvent(50081, &data));
    EXPECT_EQ(host.comm.ImsiReads(), reads);
    EXPECT_TRUE(trace.Records().empty());

    EXPECT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_AVAILABLE, &data));
    EXPECT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_AVAILABLE, &data));
    EXPECT_EQ(trace.Count(kDeviceAvailable, 4), 2);
    EXPECT_EQ(trace.Count(kCheckBrand, 4), 1);
    EXPECT_EQ(host.comm.ImsiReads() - reads, 1);
    const TraceRecord record = trace.Find(kDeviceAvailable);
    EXPECT_EQ(record.module, "LoginPlugin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");

    host.comm.SetImsi("460009999999999");
    EXPECT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_CHANGED, &data));
    EXPECT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_CHANGED, &data));
    EXPECT_EQ(host.comm.ImsiReads() - reads, 2);
    // The event filled the cache: the identity comes without another read of the card.
    EXPECT_EQ(login.GetIMSI(), "460009999999999");
    EXPECT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_AVAILABLE, &data));
    EXPECT_EQ(trace.Count(kCheckBrand, 4), 2);
    EXPECT_EQ(host.comm.ImsiReads() - reads, 3);
}

TEST_F(LoginObjectTest, ListenersAreKeptInOrderWithRepeatsAndTheDeviceCallbackIsHooked) {
    CLoginImpl login(&host.container, {clock, {}});
    struct Listener : ISkinControlEvent {
        int32_t OnSkinChange(SkinChangeInfo*) override { return 1; }
    } first, second;
    ISkinControlEvent* a = &first;
    ISkinControlEvent* b = &second;
    EXPECT_FALSE(login.SetEventHandler(nullptr));
    EXPECT_FALSE(login.RemoveEventHandler(nullptr));
    for (auto* p : {a, b, a}) EXPECT_TRUE(login.SetEventHandler(p));
    EXPECT_EQ(login.EventHandlers(), (std::vector<ISkinControlEvent*>{a, b, a}));
    EXPECT_TRUE(login.RemoveEventHandler(a));
    EXPECT_EQ(login.EventHandlers(), (std::vector<ISkinControlEvent*>{b}));
    EXPECT_TRUE(login.RemoveEventHandler(a));  // none left is no error

    const int released = host.device.Releases();
    login.RegisterDeviceEvent();
    EXPECT_EQ(host.device.Listeners(), (std::vector<ICheckDeviceEvent*>{&login}));
    login.UnregisterDeviceEvent();
    EXPECT_TRUE(host.device.Listeners().empty());
    EXPECT_EQ(host.device.Releases() - released, 2);
}

TEST_F(LoginObjectTest, StartLoginStartsOneWorkerHoweverOftenAndFromWhereverItIsCalled) {
    ScriptedWorkerLogin login(&host.container);
    EXPECT_TRUE(login.StartLogin());
    EXPECT_TRUE(login.StartLogin());
    EXPECT_EQ(login.m_nStarts, 1);
    EXPECT_EQ(login.DetectIsLogining(), 1);  // running, but not in a login sequence

    // A willing worker ends without using the stop budget; asking again finds nothing to stop.
    const int64_t start = login.m_pClock->Now();
    EXPECT_TRUE(login.StopThread());
    EXPECT_LT(login.m_pClock->Now() - start, 5);
    EXPECT_FALSE(login.IsRunning());
    EXPECT_FALSE(login.IsAbandoned());
    EXPECT_TRUE(login.StopThread());

    ScriptedWorkerLogin again(&host.container);
    std::vector<std::thread> callers;
    callers.reserve(6);
    for (int i = 0; i < 6; ++i)
        callers.emplace_back([&] {
            for (int n = 0; n < 50; ++n) again.StartLogin();
        });
    for (auto& t : callers) t.join();
    EXPECT_EQ(again.m_nStarts, 1);
}

TEST_F(LoginObjectTest, AWorkerThatDoesNotStopIsGivenUpAfterFiveSeconds) {
    ScriptedWorkerLogin login(&host.container);
    login.m_bStuck = true;
    ASSERT_TRUE(login.StartLogin());
    const int64_t start = login.m_pClock->Now();
    EXPECT_TRUE(login.StopThread());
    EXPECT_GE(login.m_pClock->Now() - start, 5);
    EXPECT_LT(login.m_pClock->Now() - start, 6);
    // Terminated where the system can, otherwise abandoned and left to finish by itself.
    EXPECT_TRUE(login.IsAbandoned() || !login.IsRunning());
}

TEST(RealClockTest, StopEndsTheCurrentSleepAndEveryLaterOne) {
    const auto clock = MakeRealClock();
    // Hour-long sleeps: a clock that missed the stop keeps the test past ctest's time-out.
    auto sleeper = std::async(std::launch::async, [&] { clock->Sleep(3600000); });
    clock->Stop();
    sleeper.wait();
    clock->Sleep(3600000);
}

TEST(EasyUseInterfaceTest, EachFetchAsksForItsOwnInterface) {
    FakeHost host;
    CEasyUseInterface easy(&host.container);
    EXPECT_EQ(easy.Setting().Get(), &host.setting);
    EXPECT_EQ(easy.StringResMgr().Get(), &host.strings);
    EXPECT_EQ(easy.CheckNetConnection().Get(), &host.check);
    EXPECT_EQ(easy.NetConnect().Get(), &host.net);
    EXPECT_EQ(easy.CheckDeviceType().Get(), &host.device);
    EXPECT_EQ(host.container.Queries("188F177A-8389-4e4f-A99B-C3FFF2CBB620", 16384), 1);
    EXPECT_EQ(host.container.Queries("CD32A797-91AA-482a-9A66-9C5C27AAAFBD", 16384), 1);
    EXPECT_EQ(host.container.Queries("523F300B-06EA-4658-9BFC-CFDADC93798D", 1), 1);
    EXPECT_EQ(host.container.Queries("F6C25BFA-3A9F-4072-919C-2C3984DA8181", 16386), 1);
    EXPECT_EQ(host.container.Queries("5D31EE0B-DA93-4641-BD21-7DCE3DB15D15", 1), 1);
    // Refusals and the wrong kind: HostRefTest, through the same typed query.
}

}  // namespace
