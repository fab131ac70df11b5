// A clock that moves only when the test says so. Sleeps block until the test advances the time
// past their end (or the clock is stopped), so a test can step the worker pass by pass.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "global/Clock.h"

class ManualClock : public IClock {
public:
    explicit ManualClock(int64_t startSeconds = 1000000) : m_nowMs(startSeconds * 1000) {}

    int64_t Now() override;
    void Sleep(uint32_t ms) override;
    // The stop budget's polls take their real time as well as moving the time on: a worker that
    // is ending needs real time to do so, and a budget that passed in no time would have it
    // killed (terminated at any point on Windows) instead.
    void Pause(uint32_t ms) override;
    void Stop() override;
    bool IsStopped() const override;

    void Advance(uint32_t ms);
    // Waits (up to a real safety limit) until some thread sleeps that began sleeping after the
    // given count of sleeps; returns false on the safety limit.
    bool WaitForSleep(uint64_t afterSleeps);
    // How long each sleep so far asked for.
    std::vector<uint32_t> SleepLengths() const;
    // Advance, then wait until the sleeping thread has done its work and sleeps again.
    bool Step(uint32_t ms);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    int64_t m_nowMs;
    bool m_bStopped = false;
    uint64_t m_nSleeps = 0;
    std::vector<uint32_t> m_sleepLengths;
    int m_nSleeping = 0;
};
