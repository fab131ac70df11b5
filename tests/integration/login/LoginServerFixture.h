// The login object against the account server on loopback: a key file directory and a registry
// of its own, a host whose URLs point at the server, and a client whose calls are noted.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "RecordingHttps.h"
#include "libs/trace/TraceCapture.h"
#include "loopback_servers.h"

class LoginServerTest : public ::testing::Test {
protected:
    LoginServerTest() {
        std::filesystem::create_directories(m_dir.Path() + "/keys");
        std::filesystem::create_directories(m_dir.Path() + "/registry/Software/Mirolan/Velko");
        setenv("LOGINPLUGIN_REGISTRY", (m_dir.Path() + "/registry").c_str(), 1);
        host.comm.SetSpn("CMCC");
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", m_dir.Path() + "/keys/");
    }
    ~LoginServerTest() override {
        login.reset();
        unsetenv("LOGINPLUGIN_REGISTRY");
    }

    // Starts the account server and makes the login object; with `bTrusted` the client trusts
    // the server's certificate, otherwise it is an unknown issuer's.
    void StartServer(std::vector<std::string> switches, bool bTrusted = false,
                     const std::string& scheme = "https") {
        const std::string certificate = m_dir.Path() + "/server.pem";
        if (scheme == "https") switches.insert(switches.end(), {"--cert-out", certificate});
        std::string error;
        ASSERT_TRUE(server.Start(switches, error)) << error;
        const std::string base = scheme + "://127.0.0.1:" + std::to_string(server.Port());
        host.setting.Sys("REGISTER", "URL", base + "/register");
        host.setting.Sys("LOGIN", "URL", base + "/login");
        HttpClientOptions options;
        if (bTrusted) options.strTrustedCertificates = certificate;
        recorder = std::make_unique<RecordingHttps>(options);
        MakeLogin();
    }
    // A new login object (the key file stays).
    void MakeLogin() {
        login.reset();
        LoginEnvironment env;
        env.clock = clock;
        env.httpClient = recorder->Factory();
        login = std::make_unique<CLoginImpl>(&host.container, env);
    }
    std::string KeyFile() const { return m_dir.Path() + "/keys/Key.dtc"; }

    TempDir m_dir;
    FakeHost host;
    AccountServer server;
    TraceCapture trace;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<RecordingHttps> recorder;
    std::unique_ptr<CLoginImpl> login;
};

using Ops = std::vector<std::string>;
