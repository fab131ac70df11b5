// Natively each test starts the account server it needs, trusting its certificate.
#include "LoginServer.h"

#include <iterator>
#include <vector>

#include "loopback_servers.h"

struct LoginServer::Impl {
    AccountServer server;
    std::string certificate;
};

namespace {

// The server's switches for each kind, in the order of ServerKind.
const std::vector<std::string> kSwitches[] = {
    {},
    {"--cert-name", "other.example"},
    {"--pad-to", "20000", "--framing", "close"},
    {"--claim-length", "4000000000"},
    {"--hang"},
};
static_assert(std::size(kSwitches) == static_cast<size_t>(ServerKind::kHangs) + 1);

}  // namespace

std::unique_ptr<LoginServer> LoginServer::Find(ServerKind kind, const std::string& workDir,
                                               std::string& why) {
    auto impl = std::make_unique<Impl>();
    impl->certificate = workDir + "/server.pem";
    std::vector<std::string> switches = kSwitches[static_cast<size_t>(kind)];
    switches.insert(switches.end(), {"--cert-out", impl->certificate});
    if (!impl->server.Start(switches, why)) return nullptr;
    return std::unique_ptr<LoginServer>(new LoginServer(std::move(impl)));
}

LoginServer::LoginServer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
LoginServer::~LoginServer() = default;

std::string LoginServer::Base() const {
    return "https://127.0.0.1:" + std::to_string(m_impl->server.Port());
}

bool LoginServer::SeesClientsLeave() const {
    return true;
}

std::string LoginServer::TrustedCertificate() const {
    return m_impl->certificate;
}

bool LoginServer::WaitForLine(const std::string& text) {
    return !m_impl->server.Process().WaitForLine(text).empty();
}
