// The account server and an authenticating proxy, started on loopback for one test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestProcess.h"

class AccountServer {
public:
    // Starts the server built with the tests, with `switches` besides "--port 0".
    bool Start(const std::vector<std::string>& switches, std::string& error);
    uint16_t Port() const { return m_port; }
    TestProcess& Process() { return m_process; }

private:
    TestProcess m_process;
    uint16_t m_port = 0;
};

// tinyproxy on a free loopback port, asking for Basic credentials and allowing CONNECT to
// `connectPort` only.
class AuthProxy {
public:
    bool Start(const std::string& user, const std::string& password, uint16_t connectPort,
               std::string& error);
    // "127.0.0.1:port", as the proxy text of InternetOpen.
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    TempDir m_dir;
    TestProcess m_process;
    uint16_t m_port = 0;
};

// A loopback port that nothing listens on (it was free a moment ago).
uint16_t UnusedPort();
