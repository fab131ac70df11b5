// The login suite's fixture with an account server that the test starts with switches of its
// own (natively), and the calls the client made, for the cases that compare them.
#pragma once

#include <string>
#include <vector>

#include "LoginSuiteFixture.h"
#include "LoopbackServers.h"

class LoginServerTest : public LoginSuiteTest {
protected:
    // Each test has servers of its own: one subscriber, which servers' account files name.
    LoginServerTest() { host.comm.SetImsi("460001234567890"); }
    // The login object's kept connections go before the server, whose stop would wait for them.
    ~LoginServerTest() override {
        login.reset();
        recorder.reset();
    }

    // Starts the account server and makes the login object; with `bTrusted` the client trusts
    // the server's certificate, otherwise it is an unknown issuer's.
    void StartServer(std::vector<std::string> switches, bool bTrusted = false) {
        const std::string certificate = m_dir.File("server.pem");
        switches.insert(switches.end(), {"--cert-out", certificate});
        std::string error;
        ASSERT_TRUE(server.Start(switches, error)) << error;
        Use("https://127.0.0.1:" + std::to_string(server.Port()), bTrusted ? certificate : "");
    }

    AccountServer server;
};

using Ops = std::vector<std::string>;
