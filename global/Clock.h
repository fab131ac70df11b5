// The login object's sense of time: whole seconds and interruptible sleeps. The plug-in uses the
// real clock; tests drive a manual one, so the 60-second logic runs without real waiting.
#pragma once

#include <cstdint>
#include <memory>

class IClock {
public:
    virtual ~IClock() = default;
    // Current time in whole seconds.
    virtual int64_t Now() = 0;
    // Sleeps for ms milliseconds; returns at once when the clock has been stopped.
    virtual void Sleep(uint32_t ms) = 0;
    // Waits ms milliseconds whether stopped or not: the polls of the stop budget.
    virtual void Pause(uint32_t ms) = 0;
    // Ends every current and later sleep: used when the owner is being destroyed.
    virtual void Stop() = 0;
    virtual bool IsStopped() const = 0;
};

std::shared_ptr<IClock> MakeRealClock();
