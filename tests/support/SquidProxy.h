// squid on a free loopback port for one test (squid_peer.py does the configuring): without
// authentication, asking for Basic or Digest credentials, or refusing every CONNECT. Unlike
// tinyproxy, squid keeps the connection open after its 407, as the proxies users meet do.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "TestProcess.h"

enum class SquidKind { kOpen, kBasic, kDigest, kRefusing };

// "open", "basic", "digest", "refusing": the launcher's names, and the Windows wrapper's.
const char* SquidKindName(SquidKind kind);

class SquidProxy {
public:
    using Users = std::vector<std::pair<std::string, std::string>>;  // name, password (bytes)

    // Starts squid of that kind with its files under `dir`; `users` are the ones it knows.
    bool Start(const std::string& dir, SquidKind kind, const Users& users, std::string& error);
    uint16_t Port() const { return m_port; }
    // Its access log: one line per transaction, method and URL among the fields.
    const std::string& AccessLog() const { return m_log; }

private:
    TestProcess m_process;
    uint16_t m_port = 0;
    std::string m_log;
};
