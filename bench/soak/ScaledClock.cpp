// The soak plug-in's clock: the real clock run fast, so that a simulated day of the login worker
// (its one-second passes, its 60-second retry period) takes minutes. The soak library's link
// redirects the engine's MakeRealClock() here; the shipped library keeps the real clock.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

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

namespace {

class ScaledClock : public IClock {
public:
    explicit ScaledClock(double scale) : m_scale(scale) {}

    int64_t Now() override {
        using namespace std::chrono;
        const double elapsed = duration<double>(steady_clock::now() - m_start).count();
        return m_startSeconds + static_cast<int64_t>(elapsed * m_scale);
    }

    void Sleep(uint32_t ms) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, Real(ms), [this] { return m_bStopped.load(); });
    }

    void Pause(uint32_t ms) override { std::this_thread::sleep_for(Real(ms)); }

    void Stop() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStopped = true;
        }
        m_cv.notify_all();
    }

    bool IsStopped() const override { return m_bStopped.load(); }

private:
    std::chrono::microseconds Real(uint32_t ms) const {
        return std::chrono::microseconds(static_cast<int64_t>(ms * 1000.0 / m_scale));
    }

    const double m_scale;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    const int64_t m_startSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<bool> m_bStopped{false};
};

}  // namespace

// The name --wrap gives MakeRealClock() (mangled): the linker's, hence reserved.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" std::shared_ptr<IClock> __wrap__Z13MakeRealClockv() {
    return std::make_shared<ScaledClock>(SoakClockScale());
}
