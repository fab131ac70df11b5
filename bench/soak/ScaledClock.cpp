// The soak plug-in's clock: the real clock run fast, so that a simulated day of the login worker
// (its one-second passes, its 60-second retry period) takes minutes. The soak library's link
// redirects the engine's MakeRealClock() here; the shipped library keeps the real clock.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "SoakScale.h"
#include "global/Clock.h"

double SoakClockScale() {
    static const double scale = [] {
        const char* text = std::getenv("LOGIN_SOAK_CLOCK_SCALE");
        char* end = nullptr;
        const double value = text ? std::strtod(text, &end) : 1.0;
        return text && end != text && *end == '\0' && value >= 1.0 ? value : 1.0;
    }();
    return scale;
}

// The real clock, which --wrap leaves under this name (mangled, the linker's, hence reserved).
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" std::shared_ptr<IClock> __real__Z13MakeRealClockv();

namespace {

// Reads the time scaled and hands the waits, shortened, to the real clock, whose stop wakes them.
class ScaledClock : public IClock {
public:
    explicit ScaledClock(double scale) : m_scale(scale) {}

    int64_t Now() override {
        using namespace std::chrono;
        const double elapsed = duration<double>(steady_clock::now() - m_start).count();
        return m_startSeconds + static_cast<int64_t>(elapsed * m_scale);
    }
    void Sleep(uint32_t ms) override { m_real->Sleep(Real(ms)); }
    void Pause(uint32_t ms) override { m_real->Pause(Real(ms)); }
    void Stop() override { m_real->Stop(); }
    bool IsStopped() const override { return m_real->IsStopped(); }

private:
    // At least a millisecond, so that a poll loop still waits between its polls.
    uint32_t Real(uint32_t ms) const {
        return std::max<uint32_t>(1, static_cast<uint32_t>(ms / m_scale + 0.5));
    }

    const double m_scale;
    const std::shared_ptr<IClock> m_real = __real__Z13MakeRealClockv();
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    const int64_t m_startSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
};

}  // namespace

// The name --wrap gives MakeRealClock() (mangled): the linker's, hence reserved.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" std::shared_ptr<IClock> __wrap__Z13MakeRealClockv() {
    return std::make_shared<ScaledClock>(SoakClockScale());
}
