// The host's waits: on the host's thread the plug-in is polled until the wait's target holds, its
// time runs out or an interrupt comes, and a reported wait ends with one "wait" line.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "HostProgress.h"
#include "HostReport.h"

class HostWait {
public:
    // What a wait has reached yet; looked at after each poll.
    using Target = std::function<bool()>;

    // `poll` looks at the plug-in once; `interrupted` ends every wait early.
    HostWait(HostReport& report, HostProgress& progress, std::function<void()> poll,
             const std::atomic<bool>& interrupted)
        : m_report(report),
          m_progress(progress),
          m_poll(std::move(poll)),
          m_interrupted(interrupted) {}

    // Polls up to `seconds` until `target` holds (without one: for the whole time); whether it
    // holds at the end.
    bool Until(double seconds, const Target& target);
    // Until(), then the line that says `reached` or `missed` and how long it took.
    bool Reported(double seconds, const Target& target, const std::string& reached,
                  const std::string& missed);
    // The "wait" line of a wait that began at `start` (HostProgress::Elapsed).
    void Report(bool bReached, const std::string& reached, const std::string& missed, double start);

private:
    HostReport& m_report;
    HostProgress& m_progress;
    const std::function<void()> m_poll;
    const std::atomic<bool>& m_interrupted;
};
