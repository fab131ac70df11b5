// A manual clock whose stop-budget polls give a worker that is ending the real moment it needs:
// each poll returns once the given condition holds (at the latest after a safety limit), and
// only then moves the time on. With the plain manual clock the five seconds of the budget pass
// before a willing worker has had a chance to run.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "ManualClock.h"

class PatientClock : public ManualClock {
public:
    void Pause(uint32_t ms) override {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (m_fnDone && !m_fnDone() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        Advance(ms);
    }
    // Set before the clock is used from more than one thread.
    std::function<bool()> m_fnDone;
};
