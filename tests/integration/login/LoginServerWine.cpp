// Under Wine the servers are native programs that with_servers.sh started for the whole run: a
// kind's port is in LOGIN_TEST_<KIND>_PORT, its output in the file LOGIN_TEST_<KIND>_LOG names
// (a Unix path, which Wine takes on the current drive, Z:). The system's store decides on
// certificates.
#include <cstdlib>
#include <iterator>

#include "LoginServer.h"
#include "ServerLogs.h"

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
