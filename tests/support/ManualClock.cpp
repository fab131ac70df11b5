#include "ManualClock.h"

#include <chrono>
#include <thread>

namespace {
// Only a broken test waits this long; it then fails instead of hanging.
constexpr auto kSafetyLimit = std::chrono::seconds(20);
}  // namespace

int64_t ManualClock::Now() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nowMs / 1000;
}

void ManualClock::Sleep(uint32_t ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bStopped) return;
    const int64_t deadline = m_nowMs + ms;
    ++m_nSleeps;
    m_sleepLengths.push_back(ms);
    ++m_nSleeping;
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return m_bStopped || m_nowMs >= deadline; });
    --m_nSleeping;
}

void ManualClock::Pause(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    Advance(ms);
}

void ManualClock::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopped = true;
    }
    m_cv.notify_all();
}

bool ManualClock::IsStopped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bStopped;
}

void ManualClock::Advance(uint32_t ms) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nowMs += ms;
    }
    m_cv.notify_all();
}

bool ManualClock::WaitForSleep(uint64_t afterSleeps) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, kSafetyLimit, [&] {
        return m_bStopped || (m_nSleeps > afterSleeps && m_nSleeping > 0);
    });
}

std::vector<uint32_t> ManualClock::SleepLengths() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sleepLengths;
}

bool ManualClock::Step(uint32_t ms) {
    uint64_t before = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        before = m_nSleeps;
    }
    Advance(ms);
    return WaitForSleep(before);
}
