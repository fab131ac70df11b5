#include "TestProcess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

bool TestProcess::Start(const std::vector<std::string>& argv, std::string& error) {
    Stop();  // one program at a time
    int out[2];
    if (pipe(out) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        // The program ends with the test that started it, even a test that is killed. (The
        // signal follows the thread that forks: servers are started from the main thread.)
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        // Both output streams into the one pipe.
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        execvp(args[0], args.data());
        std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    close(out[1]);
    if (m_pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(out[0]);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.clear();
        m_bOpen = true;
    }
    m_reader = std::thread(&TestProcess::Collect, this, out[0]);
    return true;
}

void TestProcess::Collect(int fd) {
    std::string pending;
    char buffer[4096];
    ssize_t count;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<size_t>(count));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            std::cerr << "  | " << line << std::endl;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line);
            m_changed.notify_all();
        }
    }
    close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = false;
    m_changed.notify_all();
}

std::string TestProcess::WaitForLine(const std::string& text) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (size_t seen = 0;; m_changed.wait(lock)) {
        for (; seen < m_lines.size(); ++seen) {
            if (m_lines[seen].find(text) != std::string::npos) return m_lines[seen];
        }
        if (!m_bOpen) return {};
    }
}

void TestProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (m_reader.joinable()) m_reader.join();
}
