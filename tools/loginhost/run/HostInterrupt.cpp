#include "HostInterrupt.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::atomic<bool> g_bInterrupted{false};
std::atomic<bool> g_bShutDown{false};

// How long the host's thread has after an interrupt to shut the plug-in down; after the run's
// time-out, also for the plug-in to see its card reads fail after the pause between them.
constexpr std::chrono::milliseconds kShutdownGrace(800);
constexpr std::chrono::milliseconds kTimeOutGrace(5000);
constexpr std::chrono::milliseconds kWatchInterval(50);

// The card whose reads an interrupt cancels, for the watching thread.
std::mutex g_promptMutex;
CardSource* g_pPromptCard = nullptr;

using Clock = std::chrono::steady_clock;
std::atomic<Clock::rep> g_endBy{Clock::time_point::max().time_since_epoch().count()};

bool Due() {
    return Clock::now().time_since_epoch().count() >= g_endBy;
}

void OnInterrupt(int) {
    g_bInterrupted = true;
}

}  // namespace

const std::atomic<bool>& HostInterrupt::Flag() {
    return g_bInterrupted;
}

void HostInterrupt::Raise() {
    g_bInterrupted = true;
}

void HostInterrupt::Catch() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

void HostInterrupt::EndPromptly(CardSource* card) {
    {
        std::lock_guard<std::mutex> lock(g_promptMutex);
        g_pPromptCard = card;
    }
    Catch();
    // A signal handler may do next to nothing: a thread of its own acts on the flag.
    std::thread([] {
        while (!g_bInterrupted && !Due()) std::this_thread::sleep_for(kWatchInterval);
        const bool bTimeOut = !g_bInterrupted;
        {
            std::lock_guard<std::mutex> lock(g_promptMutex);
            if (g_pPromptCard) g_pPromptCard->Cancel();
        }
        const auto end = Clock::now() + (bTimeOut ? kTimeOutGrace : kShutdownGrace);
        while (!g_bShutDown && Clock::now() < end) std::this_thread::sleep_for(kWatchInterval);
        if (g_bShutDown) return;
        std::fprintf(stderr,
                     "loginhost: %s while the plug-in was busy; ending without its shutdown\n",
                     bTimeOut ? "the run's time-out came" : "interrupted");
        std::fflush(nullptr);
        std::_Exit(bTimeOut ? 1 : 130);
    }).detach();
}

void HostInterrupt::EndBy(std::chrono::steady_clock::time_point end) {
    g_endBy = end.time_since_epoch().count();
}

void HostInterrupt::Forget(const CardSource* card) {
    std::lock_guard<std::mutex> lock(g_promptMutex);
    if (g_pPromptCard == card) g_pPromptCard = nullptr;
}

void HostInterrupt::ShutDown() {
    g_bShutDown = true;
}
