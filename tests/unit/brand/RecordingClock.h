// A manual clock that also remembers how long each sleep asked for.
#pragma once

#include <mutex>
#include <vector>

#include "ManualClock.h"

class RecordingClock : public ManualClock {
public:
    void Sleep(uint32_t ms) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(ms);
        }
        ManualClock::Sleep(ms);
    }
    std::vector<uint32_t> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    // Lets the sleeper of the given count (0 = the first) wake after its full wait.
    bool FinishSleep(uint64_t index, uint32_t ms) {
        if (!WaitForSleep(index)) return false;
        Advance(ms);
        return true;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_requests;
};
