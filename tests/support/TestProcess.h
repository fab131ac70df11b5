// A program that a test starts: its output lines are collected (and echoed to the test's
// standard error); it is stopped with SIGTERM and reaped when the object goes.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestProcess {
public:
    TestProcess() = default;
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;
    ~TestProcess() { Stop(); }

    bool Start(const std::vector<std::string>& argv, std::string& error);
    // The first line (standard output or error) that contains `text`, waiting for it as long
    // as the program runs; empty when the program ended without one.
    std::string WaitForLine(const std::string& text);
    void Stop();
    pid_t Pid() const { return m_pid; }

private:
    void Collect(int fd);

    pid_t m_pid = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    bool m_bOpen = false;
};
