#include "HostWait.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// How often a wait looks at the plug-in.
constexpr std::chrono::milliseconds kPollInterval(100);

}  // namespace

bool HostWait::Until(double seconds, const Target& target) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    for (;;) {
        m_poll();
        if (target && target()) return true;
        if (m_interrupted) break;
        const auto now = Clock::now();
        if (now >= end) break;
        std::this_thread::sleep_for(std::min<Clock::duration>(kPollInterval, end - now));
    }
    return target && target();
}

bool HostWait::Reported(double seconds, const Target& target, const std::string& reached,
                        const std::string& missed) {
    const double start = m_progress.Elapsed();
    const bool bReached = Until(seconds, target);
    Report(bReached, reached, missed, start);
    return bReached;
}

void HostWait::Report(bool bReached, const std::string& reached, const std::string& missed,
                      double start) {
    char waited[32];
    std::snprintf(waited, sizeof waited, " after %.1f s", m_progress.Elapsed() - start);
    m_report.Line("wait",
                  (bReached ? reached : missed) + waited + (m_interrupted ? " (interrupted)" : ""));
}
