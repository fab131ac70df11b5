// The identity cache between the device-event thread and the worker: a read of the card that
// began earlier never replaces what a later one stored, and an event's re-read in progress never
// looks like a missing identity to a login. Meant for ThreadSanitizer too.
#include <future>
#include <thread>

#include "WorkerFixture.h"

namespace {

using IdentityOrderTest = WorkerTest;

TEST_F(IdentityOrderTest, ASlowReadNeverReplacesTheCardAnEventReadAfterIt) {
    host.comm.ScriptImsi({{true, kImsiA, 0}, {true, kImsiB, 0}});
    // The worker's read (the first) has taken the old card's answer; it goes back only once
    // the event for the new card has read and stored it.
    std::promise<void> firstReadTaken;
    std::promise<void> eventDone;
    std::shared_future<void> release = eventDone.get_future().share();
    host.comm.OnImsiRead([&](int read) {
        if (read != 1) return;
        firstReadTaken.set_value();
        release.wait();
    });
    std::thread worker([&] { login.GetIMSI(); });
    firstReadTaken.get_future().wait();
    static int data = 0;
    ASSERT_TRUE(login.OnDeviceEvent(DEVICE_EVENT_CHANGED, &data));
    eventDone.set_value();
    worker.join();

    EXPECT_EQ(login.GetIMSI(), kImsiB);
    EXPECT_EQ(host.comm.ImsiReads(), 2);  // the cache answered the last call
}

TEST_F(IdentityOrderTest, EventsThatReReadTheCardNeverFailALogin) {
    constexpr int kLogins = 200;
    StorePassword("pw");
    for (int i = 0; i < kLogins; ++i) https.Script().Replies(200, Accepted("S"));
    std::atomic<bool> bLoginsDone{false};
    int data = 0;
    // Card removed and back, again and again: each event empties the cache and reads it anew.
    std::thread events([&] {
        for (int i = 0; !bLoginsDone; ++i)
            login.OnDeviceEvent(i % 2 ? DEVICE_EVENT_AVAILABLE : DEVICE_EVENT_CHANGED, &data);
    });
    int failed = 0;
    for (int i = 0; i < kLogins; ++i) failed += login.DoLoginThread() ? 0 : 1;
    bLoginsDone = true;
    events.join();

    EXPECT_EQ(failed, 0) << "last error " << login.GetErrorCode();
    EXPECT_FALSE(trace.Has("m_strIMSI equal !"));
    const std::vector<std::string> bodies = Bodies();
    EXPECT_EQ(bodies, std::vector<std::string>(kLogins, LoginBody(kImsiA, "pw")));
    EXPECT_EQ(login.GetIMSI(), kImsiA);
}

}  // namespace
