// The desktop's proxy from libproxy, asked in the helper program beside the library. Loaded in
// the host's process, libproxy's PAC module brings a JavaScript engine that installs signal
// handlers and thread-exit hooks of its own, and unloading it crashed the next thread to end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <sstream>

#include "platform/module.h"
#include "platform/posix/spawn_helper.h"
#include "platform/system_proxy.h"

namespace {

// A PAC script or a WPAD search that takes longer than this is not waited for: the request goes
// direct, as when nothing applies.
constexpr auto kAnswerTime = std::chrono::seconds(10);

std::mutex g_testMutex;
std::string g_strTestHelper;

// Beside the library, by the absolute path settled when it was loaded: a host that loaded it by
// a relative path and changed directory since still runs the helper it shipped with.
std::string HelperPath() {
    {
        std::lock_guard<std::mutex> lock(g_testMutex);
        if (!g_strTestHelper.empty()) return g_strTestHelper;
    }
    const std::string& directory = GetLibraryDirectory();
    return directory.empty() ? std::string() : directory + kSystemProxyHelperName;
}

// The helper's whole output, or false when it could not be run, failed or took too long.
bool RunHelper(const std::string& program, const std::string& url, std::string& output) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // libproxy's modules talk on standard error; the host's own is not theirs.
    const pid_t pid = SpawnHelper(program, {url}, {kSpawnNullDevice, fds[1], kSpawnNullDevice});
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    bool bEnded = false;
    char buffer[1024];
    while (!bEnded) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd ready{fds[0], POLLIN, 0};
        const int n = poll(&ready, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const ssize_t count = read(fds[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            bEnded = true;
        } else {
            output.append(buffer, static_cast<size_t>(count));
        }
    }
    close(fds[0]);
    if (!bEnded) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return bEnded && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void SetSystemProxyHelperForTest(const std::string& program) {
    std::lock_guard<std::mutex> lock(g_testMutex);
    g_strTestHelper = program;
}

SystemProxy SystemProxyFor(const std::string& url) {
    const std::string program = HelperPath();
    std::string output;
    if (program.empty() || url.empty() || !RunHelper(program, url, output)) return {};
    std::vector<std::string> urls;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) urls.push_back(line);
    return SystemProxyFromList(urls);
}
