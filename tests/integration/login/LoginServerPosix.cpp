// Natively each test starts the account server it needs, trusting its certificate.
#include "LoginServer.h"

#include <iterator>
#include <vector>

#include "LoopbackServers.h"

namespace {

// The server's switches for each kind, in the order of ServerKind.
const std::vector<std::string> kSwitches[] = {
    {"--cert-name", "other.example"},
    {"--pad-to", "20000", "--framing", "close"},
    {"--claim-length", "4000000000"},
    {"--hang"},
};
static_assert(std::size(kSwitches) == static_cast<size_t>(ServerKind::kHangs) + 1);

struct Started final : LoginServer {
    bool WaitForLine(const std::string& text) override {
        return !server.Process().WaitForLine(text).empty();
    }
    AccountServer server;
};

}  // namespace

std::unique_ptr<LoginServer> LoginServer::Find(ServerKind kind, const std::string& workDir,
                                               std::string& why) {
    auto started = std::make_unique<Started>();
    started->trustedCertificate = workDir + "/server.pem";
    std::vector<std::string> switches = kSwitches[static_cast<size_t>(kind)];
    switches.insert(switches.end(), {"--cert-out", started->trustedCertificate});
    if (!started->server.Start(switches, why)) return nullptr;
    started->base = "https://127.0.0.1:" + std::to_string(started->server.Port());
    return started;
}
