#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Clock.h"

namespace {

class RealClock : public IClock {
public:
    int64_t Now() override {
        using namespace std::chrono;
        return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    }

    void Sleep(uint32_t ms) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bStopped.load(); });
    }

    void Pause(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    void Stop() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStopped = true;
        }
        m_cv.notify_all();
    }

    bool IsStopped() const override { return m_bStopped.load(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<bool> m_bStopped{false};
};

}  // namespace

std::shared_ptr<IClock> MakeRealClock() {
    return std::make_shared<RealClock>();
}
