// The account server is a native Linux program; Windows builds of the host (run under Wine) use
// one that is already running (loginhost demo --server-port N).
#include "DemoPlatform.h"

struct ServerProcess::Impl {};

ServerProcess::ServerProcess() : m_pImpl(std::make_unique<Impl>()) {}

ServerProcess::~ServerProcess() = default;

bool ServerProcess::Supported(std::string& why) {
    why =
        "this build cannot start the account server, which runs on Linux: start it there with "
        "`account-server --port 0` and run `loginhost demo --server-port N` with the port it "
        "prints";
    return false;
}

bool ServerProcess::Start(const std::string& /*program*/, const std::vector<std::string>& /*args*/,
                          const std::string& /*logPath*/, int& /*port*/, std::string& error) {
    Supported(error);
    return false;
}

void ServerProcess::Stop() {}

std::string ServerProgramName() {
    return "account-server";
}

bool IsolateRegistry(const std::string& /*root*/) {
    return false;
}
