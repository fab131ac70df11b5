// The whole login as the host sees it, on the real clock: from StartLogin to IsLoginSuccess()
// (the worker's first pass takes one second), and the CPU that the idle worker then uses.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bench_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the login, polling every millisecond; false after `limit`.
bool WaitForLogin(CLoginImpl& login, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!login.IsLoginSuccess()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Registers once, so that the measured logins find a stored password (as on every start but
// the first).
bool EnsureRegistered(BenchServer& server, FakeHost& host) {
    auto login = server.MakeLogin(host);
    login->CreateKeyFile();
    if (!login->ReadPwd(login->GetKeyFile()).empty()) return true;
    return login->DoLoginThread();
}

void BM_StartLoginToSuccess(benchmark::State& state) {
    BenchServer* server = BenchServer::Get();
    if (!server) return state.SkipWithError("the account server did not start");
    FakeHost host;
    server->PrepareHost(host);
    if (!EnsureRegistered(*server, host)) return state.SkipWithError("registration failed");
    double total = 0;
    for (auto _ : state) {
        auto login = server->MakeLogin(host);
        const auto start = Clock::now();
        login->StartLogin();
        if (!WaitForLogin(*login, std::chrono::seconds(10))) {
            return state.SkipWithError("no login within 10 s");
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    // Above the one-second floor that the worker's first pass sets.
    state.counters["over_floor_ms"] =
        (total / static_cast<double>(state.iterations()) - 1.0) * 1000.0;
}

// The real clock, noting the CPU time of the thread that sleeps (the worker) at each sleep.
class ThreadCpuClock : public IClock {
public:
    int64_t Now() override { return m_pReal->Now(); }
    void Sleep(uint32_t ms) override {
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        m_nCpuNs = static_cast<int64_t>(cpu.tv_sec) * 1000000000 + cpu.tv_nsec;
        ++m_nSleeps;
        m_pReal->Sleep(ms);
    }
    void Pause(uint32_t ms) override { m_pReal->Pause(ms); }
    void Stop() override { m_pReal->Stop(); }
    bool IsStopped() const override { return m_pReal->IsStopped(); }

    std::atomic<int64_t> m_nCpuNs{0};
    std::atomic<uint64_t> m_nSleeps{0};

private:
    std::shared_ptr<IClock> m_pReal = MakeRealClock();
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_IdleWorkerCpu(benchmark::State& state) {
    BenchServer* server = BenchServer::Get();
    if (!server) return state.SkipWithError("the account server did not start");
    FakeHost host;
    server->PrepareHost(host);
    if (!EnsureRegistered(*server, host)) return state.SkipWithError("registration failed");
    const auto idle = std::chrono::seconds(state.range(0));
    for (auto _ : state) {
        auto clock = std::make_shared<ThreadCpuClock>();
        LoginEnvironment env;
        env.clock = clock;
        auto login = server->MakeLogin(host, env);
        login->StartLogin();
        if (!WaitForLogin(*login, std::chrono::seconds(10))) {
            return state.SkipWithError("no login within 10 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // into the idle passes
        const int64_t cpu0 = clock->m_nCpuNs;
        const uint64_t sleeps0 = clock->m_nSleeps;
        const double process0 = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(idle);
        const int64_t cpu1 = clock->m_nCpuNs;
        const uint64_t sleeps1 = clock->m_nSleeps;
        const double process1 = ProcessCpuSeconds();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        const double passes = static_cast<double>(sleeps1 - sleeps0);
        state.counters["worker_cpu_us_per_min"] = (cpu1 - cpu0) / 1e3 * 60.0 / seconds;
        state.counters["worker_cpu_us_per_pass"] = passes > 0 ? (cpu1 - cpu0) / 1e3 / passes : 0;
        state.counters["process_cpu_us_per_min"] = (process1 - process0) * 1e6 * 60.0 / seconds;
        state.counters["passes"] = passes;
    }
}

BENCHMARK(BM_StartLoginToSuccess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_IdleWorkerCpu)->Arg(20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
