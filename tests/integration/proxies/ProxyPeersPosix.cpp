// Natively each test starts the account server and the proxies it asks for.
#include <map>

#include "ProxyPeers.h"
#include "LoopbackServers.h"
#include "SquidProxy.h"

namespace {

const SquidKind kSquidKinds[] = {SquidKind::kOpen, SquidKind::kBasic, SquidKind::kDigest,
                                 SquidKind::kRefusing};

class Started final : public ProxyPeers {
public:
    explicit Started(std::string workDir) : m_workDir(std::move(workDir)) {}
    bool StartServer(std::string& why) { return m_server.Start({}, why); }

    std::string ServerBase() override {
        return "https://127.0.0.1:" + std::to_string(m_server.Port());
    }
    bool Proxy(ProxyKind kind, uint16_t& port, std::string& accessLog, std::string& why) override {
        SquidProxy& squid = m_proxies[kind];
        if (squid.Port() == 0 && !squid.Start(m_workDir, kSquidKinds[static_cast<int>(kind)],
                                              {{kProxyUser, kProxyPassword},
                                               {kAwkwardUser, kAwkwardPassword},
                                               {kAwkwardUserUtf8, kAwkwardPasswordUtf8}},
                                              why))
            return false;
        port = squid.Port();
        accessLog = squid.AccessLog();
        return true;
    }
    uint16_t DownPort() override { return UnusedPort(); }

private:
    std::string m_workDir;
    AccountServer m_server;
    std::map<ProxyKind, SquidProxy> m_proxies;
};

}  // namespace

bool ProxyPeers::FaceAnswersDigest() {
    return true;
}

std::unique_ptr<ProxyPeers> ProxyPeers::Make(const std::string& workDir, std::string& why) {
    auto started = std::make_unique<Started>(workDir);
    if (!started->StartServer(why)) return nullptr;
    return started;
}
