// A process killed at any moment while it writes the key file leaves the password it had before
// or the one it was writing, never a damaged file.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <thread>

#include "FakeHost.h"
#include "KeyStore.h"
#include "libs/filemanager/RecordFormat.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

namespace {

constexpr int kRuns = 200;

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(const std::string& dir, long first) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(KEYSTORE_WRITER, KEYSTORE_WRITER, dir.c_str(), std::to_string(first).c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// The last number the child reported, or -1.
long LastReported(int fd) {
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    if (text.empty()) return -1;
    const size_t end = text.find_last_of('\n');
    if (end == std::string::npos) return -1;
    const size_t start = text.find_last_of('\n', end - 1);
    return std::atol(text.substr(start == std::string::npos ? 0 : start + 1).c_str());
}

TEST(KeyStoreKillTest, AKillAtAnyMomentLeavesTheOldOrTheNewPassword) {
    TempDir dir;
    FakeHost host;
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.WithSeparator());
    const KeyStore store(&host.container);
    store.Create();  // as the login object leaves it at its start
    const std::string keyFile = store.Path();

    const unsigned seed =
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937 rng(seed);
    std::string previous;  // what the file held after the last kill
    long next = 1;
    int killsWhileWriting = 0;
    long written = 0;
    for (int run = 0; run < kRuns; ++run) {
        Child child = Spawn(dir.WithSeparator(), next);
        ASSERT_GT(child.pid, 0);
        // Most kills land in the loop of writes; some while the child is still starting.
        if (rng() % 8 != 0) {
            pollfd ready{child.out, POLLIN, 0};  // the limit only keeps a failure from hanging
            ASSERT_EQ(poll(&ready, 1, 20000), 1) << "the writer never wrote";
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 5000));
            ++killsWhileWriting;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
        }
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        const long reported = LastReported(child.out);
        close(child.out);

        // Whole and intact, whatever the moment of the kill.
        std::ifstream in(keyFile, std::ios::binary);
        RecordFileData data;
        std::string reason;
        ASSERT_TRUE(record_format::Decode({std::istreambuf_iterator<char>(in), {}}, data, reason))
            << "run " << run << ": " << reason << " (seed " << seed << ")";
        TraceCapture trace;
        const std::string value = KeyStore::Read(keyFile);
        EXPECT_FALSE(trace.Has("ReadPwd() exception!"));
        if (reported >= 0) {
            // The last reported write stands, or the one after it, which was under way.
            EXPECT_TRUE(value == "password-" + std::to_string(reported) ||
                        value == "password-" + std::to_string(reported + 1))
                << "run " << run << ": " << value << " after " << reported << " (seed " << seed
                << ")";
            written += reported - next + 1;
        } else {
            EXPECT_TRUE(value == previous || value == "password-" + std::to_string(next))
                << "run " << run << ": " << value << " (seed " << seed << ")";
        }
        previous = value;
        next = std::max(next, reported + 1) + 2;
    }
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path().filename() != "Key.dtc") ++leftovers;
    std::cout << kRuns << " kills (" << killsWhileWriting << " in the write loop), " << written
              << " passwords written, " << leftovers << " temporary files left, seed " << seed
              << "\n";
}

}  // namespace
