// Natively each test starts the account server it needs, trusting its certificate.
#include "LoginServer.h"

#include <vector>

#include "loopback_servers.h"

struct LoginServer::Impl {
    AccountServer server;
    std::string scheme = "https";
    std::string certificate;
};

namespace {

std::vector<std::string> SwitchesOf(ServerKind kind) {
    switch (kind) {
        case ServerKind::kAnswering:
            return {};
        case ServerKind::kRefusesWith3:
            return {"--login-code", "3"};
        case ServerKind::kOtherName:
            return {"--cert-name", "other.example"};
        case ServerKind::kPlainHttp:
            return {"--plain"};
        case ServerKind::kUnsized:
            return {"--pad-to", "20000", "--framing", "close"};
        case ServerKind::kClaimsTooMuch:
            return {"--claim-length", "4000000000"};
        case ServerKind::kHangs:
            return {"--hang"};
    }
    return {};
}

}  // namespace

std::unique_ptr<LoginServer> LoginServer::Find(ServerKind kind, const std::string& workDir,
                                               std::string& why) {
    auto impl = std::make_unique<Impl>();
    std::vector<std::string> switches = SwitchesOf(kind);
    if (kind == ServerKind::kPlainHttp) {
        impl->scheme = "http";
    } else {
        impl->certificate = workDir + "/server.pem";
        switches.insert(switches.end(), {"--cert-out", impl->certificate});
    }
    if (!impl->server.Start(switches, why)) return nullptr;
    return std::unique_ptr<LoginServer>(new LoginServer(std::move(impl)));
}

LoginServer::LoginServer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
LoginServer::~LoginServer() = default;

std::string LoginServer::Base() const {
    return m_impl->scheme + "://127.0.0.1:" + std::to_string(m_impl->server.Port());
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
