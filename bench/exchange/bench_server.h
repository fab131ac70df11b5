// The account server and a host for the benchmarks: started once for the whole run.
#pragma once

#include <memory>
#include <string>

#include "FakeHost.h"
#include "FormHeaders.h"
#include "LoginImpl.h"
#include "LoopbackServers.h"

class BenchServer {
public:
    // The one server of the run, started on first use (null if it could not start).
    static BenchServer* Get();

    std::string Url(const std::string& path) const;
    uint16_t Port() const { return m_server.Port(); }
    // The server's certificate, trusted by every client of the benchmarks.
    const std::string& Certificate() const { return m_strCertificate; }
    // A login object on the host, using the platform's client with that trust.
    std::unique_ptr<CLoginImpl> MakeLogin(FakeHost& host, LoginEnvironment env = {}) const;
    // Points `host` at the server, with a key file directory of its own.
    void PrepareHost(FakeHost& host) const;

private:
    TempDir m_dir;
    AccountServer m_server;
    std::string m_strCertificate;
};
