// Under Wine the account server and the proxies are native programs that with_proxies.sh started
// for the whole run: the server's port is in LOGIN_TEST_ACCOUNT_PORT, a proxy's port and access
// log in LOGIN_TEST_SQUID_<KIND>_PORT and _LOG, a port nothing listens on in LOGIN_TEST_DOWN_PORT.
#include <cstdlib>

#include "ProxyPeers.h"

namespace {

const char* const kVariables[] = {"LOGIN_TEST_SQUID_OPEN", "LOGIN_TEST_SQUID_BASIC",
                                  "LOGIN_TEST_SQUID_DIGEST", "LOGIN_TEST_SQUID_REFUSING"};

std::string Variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

class Logged final : public ProxyPeers {
public:
    std::string ServerBase() override {
        return "https://127.0.0.1:" + Variable("LOGIN_TEST_ACCOUNT_PORT");
    }
    bool Proxy(ProxyKind kind, uint16_t& port, std::string& accessLog, std::string& why) override {
        const std::string variable = kVariables[static_cast<int>(kind)];
        port = static_cast<uint16_t>(std::atoi(Variable(variable + "_PORT").c_str()));
        accessLog = Variable(variable + "_LOG");
        if (port == 0 || accessLog.empty()) {
            why = variable + "_PORT is not set (run through with_proxies.sh)";
            return false;
        }
        return true;
    }
    uint16_t DownPort() override {
        return static_cast<uint16_t>(std::atoi(Variable("LOGIN_TEST_DOWN_PORT").c_str()));
    }
};

}  // namespace

bool ProxyPeers::FaceAnswersDigest() {
    return false;
}

std::unique_ptr<ProxyPeers> ProxyPeers::Make(const std::string&, std::string& why) {
    if (Variable("LOGIN_TEST_ACCOUNT_PORT").empty()) {
        why = "LOGIN_TEST_ACCOUNT_PORT is not set (run through with_proxies.sh)";
        return nullptr;
    }
    return std::make_unique<Logged>();
}
