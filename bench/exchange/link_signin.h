// One sign-in as the host makes it, for the link benchmarks of both faces: StartLogin until
// logged in, on the real clock, timed from the end of the worker's first pass (one second by
// design, before anything goes out).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "global/Clock.h"

namespace linkbench {

using Clock = std::chrono::steady_clock;

// The real clock, noting when the worker's first pass ends.
class FirstPassClock : public IClock {
public:
    int64_t Now() override { return m_pReal->Now(); }
    void Sleep(uint32_t ms) override {
        m_pReal->Sleep(ms);
        if (!m_passEnded) m_passEnded = Clock::now();
    }
    void Pause(uint32_t ms) override { m_pReal->Pause(ms); }
    void Stop() override { m_pReal->Stop(); }
    bool IsStopped() const override { return m_pReal->IsStopped(); }
    std::optional<Clock::time_point> m_passEnded;  // read once the worker has logged in

private:
    std::shared_ptr<IClock> m_pReal = MakeRealClock();
};

constexpr char kImsi[] = "460001234567890";
constexpr char kSimType[] = "CMCC";

// The network time of one sign-in of the plug-in as shipped against `base` ("https://h:p"); the
// key directory makes it a first start (empty) or a restart. Negative when it did not log in.
inline double SignIn(const std::string& base, const std::string& keyDir, bool bStrict,
                     const std::string& caFile) {
    FakeHost host;
    host.comm.SetSpn(kSimType);
    host.comm.SetImsi(kImsi);
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", keyDir);
    host.setting.Sys("REGISTER", "URL", base + "/register");
    host.setting.Sys("LOGIN", "URL", base + "/login");
    host.setting.Sys("SECURITY", "STRICT", bStrict ? "1" : "0");
    host.setting.Sys("SECURITY", "CAFILE", caFile);
    auto clock = std::make_shared<FirstPassClock>();
    LoginEnvironment env;
    env.clock = clock;
    CLoginImpl login(&host.container, env);
    login.StartLogin();
    const auto limit = Clock::now() + std::chrono::seconds(60);
    while (!login.IsLoginSuccess() && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto end = Clock::now();
    if (!login.IsLoginSuccess() || !clock->m_passEnded) return -1;
    return std::chrono::duration<double>(end - *clock->m_passEnded).count();
}

}  // namespace linkbench
