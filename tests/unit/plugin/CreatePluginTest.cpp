// The process-wide plug-in object. This file is the only one in its program that calls
// CreatePlugin: the singleton outlives each test case that makes it.
#include <atomic>
#include <thread>

#include "ILogin.h"
#include "LoginPluginImpl.h"
#include "WorkerFixture.h"

namespace {

// A host whose card and settings make a login possible.
using CreatePluginTest = WorkerTest;

TEST_F(CreatePluginTest, RetriesAfterAFailedCreationThenAlwaysAnswersTheSameObject) {
    SetCreatePluginFailuresForTest(2);
    EXPECT_EQ(CreatePlugin(), nullptr);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    EXPECT_EQ(CreatePlugin(), nullptr);

    IBasePlugin* first = CreatePlugin();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreatePlugin(), first);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), first);
    first->Release();
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
}

// The window between the check and the set is short: many rounds give two first calls many
// chances to meet in it.
TEST_F(CreatePluginTest, TwoFirstCallsOnTwoThreadsMakeOneObject) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> ready{0};
        IBasePlugin* answers[2] = {nullptr, nullptr};
        auto run = [&](int i) {
            ready.fetch_add(1);
            while (ready.load() < 2) std::this_thread::yield();
            answers[i] = CreatePlugin();
        };
        std::thread one(run, 0);
        std::thread two(run, 1);
        one.join();
        two.join();
        ASSERT_NE(answers[0], nullptr);
        ASSERT_EQ(answers[0], answers[1]) << "round " << round;
        answers[0]->Release();
    }
}

// A host that releases the plug-in and asks for it again gets a new one that works as the first
// did (under AddressSanitizer a stale singleton is a use after free on the first call).
TEST_F(CreatePluginTest, ASecondLifeAfterReleaseLogsInAgain) {
    https.Script()
        .Replies(200, Registered("pw"))
        .Replies(200, Accepted("S1"))
        .Replies(200, Accepted("S2"));
    for (const char* sessionId : {"S1", "S2"}) {
        SCOPED_TRACE(sessionId);
        auto clock = std::make_shared<ManualClock>();  // each life stops its own
        SetLoginEnvironmentForTest({clock, https.Factory()});

        IBasePlugin* plugin = CreatePlugin();
        ASSERT_NE(plugin, nullptr);
        plugin->SetPluginContainer(&host.container);
        ASSERT_TRUE(plugin->Initialize());
        IBaseInterface* pInterface = nullptr;
        ASSERT_TRUE(plugin->QueryInterface(1, &pInterface));
        auto* login = static_cast<ILogin2*>(pInterface);
        ASSERT_TRUE(login->StartLogin());
        ASSERT_TRUE(clock->WaitForSleep(0));
        ASSERT_TRUE(clock->Step(1000));
        EXPECT_TRUE(login->IsLoginSuccess());
        EXPECT_EQ(static_cast<CLoginImpl*>(login)->GetLoginResult().strSessionId, sessionId);

        static_cast<CLoginPluginImpl*>(plugin)->OnDestroy();
        plugin->Release();
        EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    }
    // The second life found the password the first one stored: one registration in all.
    EXPECT_EQ(https.Count("Send"), 3);
    SetLoginEnvironmentForTest(LoginEnvironment());
}

// A host that asks for the plug-in while a release runs (here from the host's own code that the
// release calls: the withdrawal of its device listener) gets a new object that works, never the
// one being freed (under AddressSanitizer that one is a use after free on its first call).
TEST_F(CreatePluginTest, ACallDuringReleaseGetsANewObjectNeverTheOneBeingFreed) {
    SetLoginEnvironmentForTest({std::make_shared<ManualClock>(), https.Factory()});
    IBasePlugin* plugin = CreatePlugin();
    ASSERT_NE(plugin, nullptr);
    plugin->SetPluginContainer(&host.container);
    IBaseInterface* pInterface = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(1, &pInterface));
    IBasePlugin* during = nullptr;
    host.device.OnRemove([&] {
        if (!during) during = CreatePlugin();
    });
    plugin->Release();
    host.device.OnRemove(nullptr);
    ASSERT_NE(during, nullptr);
    EXPECT_STREQ(during->GetPluginID(), LOGIN_PLUGIN_ID);
    EXPECT_EQ(CreatePlugin(), during);
    during->Release();
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    SetLoginEnvironmentForTest(LoginEnvironment());
}

}  // namespace
