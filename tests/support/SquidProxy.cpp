#include "SquidProxy.h"

#include <cstdlib>

const char* SquidKindName(SquidKind kind) {
    switch (kind) {
        case SquidKind::kOpen:
            return "open";
        case SquidKind::kBasic:
            return "basic";
        case SquidKind::kDigest:
            return "digest";
        case SquidKind::kRefusing:
            return "refusing";
    }
    return "";
}

bool SquidProxy::Start(const std::string& dir, SquidKind kind, const Users& users,
                       std::string& error) {
    std::vector<std::string> argv = {"python3", SQUID_PEER_PATH, dir, SquidKindName(kind)};
    for (const auto& [name, password] : users) argv.insert(argv.end(), {name, password});
    if (!m_process.Start(argv, error)) return false;
    const std::string port = m_process.WaitForLine("port ");
    const std::string log = m_process.WaitForLine("log ");
    if (port.rfind("port ", 0) != 0 || log.rfind("log ", 0) != 0) {
        error = std::string("squid (") + SquidKindName(kind) + ") did not start";
        return false;
    }
    m_port = static_cast<uint16_t>(std::atoi(port.c_str() + 5));
    m_log = log.substr(4);
    return true;
}
