// The worker loop on the manual clock: when a login is tried, what holds it back, how a change of
// SIM is met, and how promptly the worker ends.
#include "WorkerFixture.h"

namespace {

class WorkerLoopTest : public WorkerTest {
protected:
    // The card now answers `imsi` (or nothing), and the host tells of a device change.
    void SwapSim(const FakeMTSComm::Answer& answer) {
        host.comm.ScriptImsi({answer});
        static int dummy = 0;
        ASSERT_TRUE(login.OnDeviceEvent(m_nNextEvent, &dummy));
        m_nNextEvent =
            m_nNextEvent == DEVICE_EVENT_CHANGED ? DEVICE_EVENT_AVAILABLE : DEVICE_EVENT_CHANGED;
    }
    void SwapSim(const std::string& imsi) { SwapSim({true, imsi, 0}); }

private:
    int32_t m_nNextEvent = DEVICE_EVENT_CHANGED;
};

TEST_F(WorkerLoopTest, FirstLoginComesAfterTheFirstPassAndNoMoreWhileLoggedIn) {
    https.Script().Replies(200, Registered("pw")).Replies(200, Accepted("S"));
    Start();
    EXPECT_EQ(https.Count("Send"), 0);
    Passes(1);
    EXPECT_EQ(https.Count("Send"), 2);
    EXPECT_TRUE(login.IsLoginSuccess());
    Passes(125);
    EXPECT_EQ(https.Count("Send"), 2);
}

TEST_F(WorkerLoopTest, FailedLoginIsTriedAgainWhenEachPeriodEnds) {
    StorePassword("pw");
    https.Script().Replies(200, Refused(7)).Replies(200, Refused(7)).Replies(200, Refused(7));
    Start();
    Passes(1);  // second 1: the first try
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_EQ(login.GetErrorCode(), 7);
    Passes(58);  // second 59
    EXPECT_EQ(https.Count("Send"), 1);
    Passes(1);  // second 60: the period that began at the start has run out
    EXPECT_EQ(https.Count("Send"), 2);
    Passes(59);
    EXPECT_EQ(https.Count("Send"), 2);
    Passes(1);  // second 120
    EXPECT_EQ(https.Count("Send"), 3);
    EXPECT_FALSE(login.IsLoginSuccess());
}

TEST_F(WorkerLoopTest, NewSimIsTriedInTheNextPassAndTheLastLoginsSimBackNeedsNoExchange) {
    StorePassword("pw");
    https.Script().Replies(200, Accepted("S1")).Replies(200, Refused(7));
    Start();
    Passes(3);
    ASSERT_TRUE(login.IsLoginSuccess());
    SwapSim(kImsiB);
    Passes(1);
    EXPECT_EQ(Bodies(),
              (std::vector<std::string>{LoginBody(kImsiA, "pw"), LoginBody(kImsiB, "pw")}));
    ASSERT_FALSE(login.IsLoginSuccess());
    SwapSim(kImsiA);
    Passes(1);
    EXPECT_TRUE(login.IsLoginSuccess());
    Passes(70);
    EXPECT_EQ(https.Count("Send"), 2);
}

TEST_F(WorkerLoopTest, DefaultIdentityWaitsForThePeriod) {
    StorePassword("pw");
    https.Script().Replies(200, Accepted("S1")).Replies(200, Accepted("S2"));
    Start();
    Passes(1);
    ASSERT_TRUE(login.IsLoginSuccess());
    SwapSim(
        {false, "", DEVICE_ERROR_NO_SIM});  // the card gives no identity: the default one stands in
    Passes(1);                              // the change is seen here, and the period starts again
    EXPECT_FALSE(login.IsLoginSuccess());
    Passes(59);
    EXPECT_EQ(https.Count("Send"), 1);
    Passes(1);
    ASSERT_EQ(https.Count("Send"), 2);
    EXPECT_EQ(Bodies()[1], LoginBody(login.GetDefaultIMSI(), "pw"));
    EXPECT_TRUE(login.IsLoginSuccess());
}

TEST_F(WorkerLoopTest, ConnectionStatesTwoAndThreeAFailedCheckOrNoCheckerHoldTheLogin) {
    StorePassword("pw");
    https.Script().Replies(200, Accepted("S"));
    host.net.m_nState = 2;
    Start();
    Passes(3);
    host.net.m_nState = 3;
    Passes(3);
    host.net.m_nState = 1;
    host.check.m_nResult = -1;
    Passes(2);
    host.check.m_nResult = 0;
    host.container.Withdraw(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION);
    Passes(2);
    EXPECT_EQ(https.Count("Send"), 0);
    host.container.Serve(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION, &host.check);
    Passes(1);
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_TRUE(login.IsLoginSuccess());
    // Every checker fetched for a pass was released.
    EXPECT_EQ(host.check.Releases(), 3);
}

// The polls of the stop budget take real time on the manual clock too, so a worker that ends
// when asked is seen to end within the budget. (A sleeping worker: PluginObjectTest's release.)
using WorkerStopTest = WorkerTest;

TEST_F(WorkerStopTest, StopEndsAWorkerWaitingForTheServer) {
    StorePassword("pw");
    https.HoldSends();
    Start();
    clock->Advance(1000);
    ASSERT_TRUE(https.WaitForBlockedSend());
    const int64_t start = clock->Now();
    EXPECT_TRUE(login.StopThread());
    EXPECT_LT(clock->Now() - start, 5);
    EXPECT_FALSE(login.IsRunning());
    EXPECT_FALSE(login.IsAbandoned());
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_EQ(login.GetErrorCode(), 12017);
    EXPECT_TRUE(https.AllHandlesClosed());
}

}  // namespace
