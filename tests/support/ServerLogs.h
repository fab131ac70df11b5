// What with_servers.sh hands a test program about the servers it started around it: their ports
// and their logs, which another program writes and which are therefore read again each time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

// The port in the environment variable `name`; 0 when it is not set.
inline uint16_t ServerPort(const char* name) {
    const char* value = std::getenv(name);
    return static_cast<uint16_t>(value ? std::atoi(value) : 0);
}

// A port that with_servers.sh passed; the test is skipped without one.
#define REQUIRE_PORT(variable, name)            \
    const uint16_t variable = ServerPort(name); \
    if (variable == 0) GTEST_SKIP() << name << " is not set (run through with_servers.sh)"

// The path the environment variable `variable` names; empty when it is not set. (Under Wine a
// Unix path is taken on the current drive, Z:.)
inline std::string LogPath(const char* variable) {
    const char* path = std::getenv(variable);
    return path ? path : "";
}

// The log as it is now; "<no log>" when there is none.
inline std::string ReadLog(const std::string& path) {
    std::ifstream log(path);
    if (!log) return "<no log>";
    return {std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
}

// How often `text` occurs in the log once it occurs `atLeast` times (a server writes its line after
// its answer has gone), or what it has after 20 s.
inline int CountInLog(const std::string& path, const std::string& text, int atLeast = 1) {
    int count = 0;
    for (int i = 0; i < 2000 && count < atLeast; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string log = ReadLog(path);
        count = 0;
        for (size_t at = log.find(text); at != std::string::npos;
             at = log.find(text, at + text.size())) {
            ++count;
        }
    }
    return count;
}
