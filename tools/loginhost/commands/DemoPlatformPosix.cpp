#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "DemoPlatform.h"
#include "LoginSettings.h"

namespace {

// How long the server may take to tell its port (it makes a certificate first).
constexpr int kStartMs = 15000;
// How long it may take to stop after SIGTERM before it is killed.
constexpr auto kStopBudget = std::chrono::seconds(5);

}  // namespace

struct ServerProcess::Impl {
    pid_t pid = -1;
    int out = -1;  // the server's standard output
};

ServerProcess::ServerProcess() : m_pImpl(std::make_unique<Impl>()) {}

bool ServerProcess::Supported(std::string& /*why*/) {
    return true;
}

ServerProcess::~ServerProcess() {
    Stop();
}

bool ServerProcess::Start(const std::string& program, const std::vector<std::string>& args,
                          const std::string& logPath, int& port, std::string& error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0) {
        error = logPath + ": " + std::strerror(errno);
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    close(log);
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(pipeFds[0]);
        return false;
    }
    m_pImpl->pid = pid;
    m_pImpl->out = pipeFds[0];

    // The first line is "port N".
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd entry{m_pImpl->out, POLLIN, 0};
        if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0) break;
        char buffer[256];
        const ssize_t n = read(m_pImpl->out, buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<size_t>(n));
    }
    if (line.rfind("port ", 0) != 0 || (port = std::atoi(line.c_str() + 5)) <= 0) {
        error = program + " did not tell its port (see " + logPath + ")";
        Stop();
        return false;
    }
    return true;
}

void ServerProcess::Stop() {
    if (m_pImpl->pid > 0) {
        kill(m_pImpl->pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopBudget;
        while (waitpid(m_pImpl->pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(m_pImpl->pid, SIGKILL);
                waitpid(m_pImpl->pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_pImpl->pid = -1;
    }
    if (m_pImpl->out >= 0) {
        close(m_pImpl->out);
        m_pImpl->out = -1;
    }
}

std::string ServerProgramName() {
    return "account-server";
}

bool IsolateRegistry(const std::string& root) {
    return setenv(LOGIN_REGISTRY_ENV, root.c_str(), 1) == 0;
}
