// Under Wine the servers are native programs that with_servers.sh started for the whole run: a
// kind's port is in LOGIN_TEST_<KIND>_PORT, its output in the file LOGIN_TEST_<KIND>_LOG names
// (a Unix path, which Wine takes on the current drive, Z:). The system's store decides on
// certificates.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "LoginServer.h"

namespace {

// The variable of each kind, in the order of ServerKind.
const char* const kVariables[] = {"LOGIN_TEST_MISMATCH", "LOGIN_TEST_UNSIZED", "LOGIN_TEST_CLAIM",
                                  "LOGIN_TEST_HANG"};
static_assert(std::size(kVariables) == static_cast<size_t>(ServerKind::kHangs) + 1);

struct Logged final : LoginServer {
    bool WaitForLine(const std::string& text) override { return CountInLog(path, text) > 0; }
    std::string path;  // of the log
};

}  // namespace

int CountInLog(const std::string& path, const std::string& text, int atLeast) {
    int count = 0;
    for (int i = 0; i < 2000 && count < atLeast; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream log(path);
        const std::string content((std::istreambuf_iterator<char>(log)),
                                  std::istreambuf_iterator<char>());
        count = 0;
        for (size_t at = content.find(text); at != std::string::npos;
             at = content.find(text, at + text.size())) {
            ++count;
        }
    }
    return count;
}

std::unique_ptr<LoginServer> LoginServer::Find(ServerKind kind, const std::string&,
                                               std::string& why) {
    const std::string variable = kVariables[static_cast<size_t>(kind)];
    const char* port = std::getenv((variable + "_PORT").c_str());
    const char* log = std::getenv((variable + "_LOG").c_str());
    if (!port || !log) {
        why = variable + "_PORT is not set (run through with_servers.sh)";
        return nullptr;
    }
    auto logged = std::make_unique<Logged>();
    logged->base = std::string("https://127.0.0.1:") + port;
    logged->path = log;
    logged->bSeesClientsLeave = false;
    return logged;
}
