// The login object against a real account server on loopback, through the platform's client
// (libcurl natively, WinINet under Wine) with every call noted: a key file directory and a
// registry of its own, a host whose URLs point at the server.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "LoginServer.h"
#include "ManualClock.h"
#include "RecordingHttps.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

// Points the host at a server of that kind, or skips the test when this run has none.
#define SERVE(kind)                                   \
    do {                                              \
        Serve(kind);                                  \
        if (HasFatalFailure() || IsSkipped()) return; \
    } while (0)

class LoginSuiteTest : public ::testing::Test {
protected:
    LoginSuiteTest() {
        m_registry.CreateKey(LOGIN_REGISTRY_PRODUCT_KEY);
        host.comm.SetSpn("CMCC");
        // Each test its own subscriber: under Wine the servers live for the whole run.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        host.comm.SetImsi(
            "46000" +
            std::to_string(1000000000 + std::hash<std::string>()(info->name()) % 999999999));
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", m_dir.WithSeparator());
    }
    ~LoginSuiteTest() override { login.reset(); }

    void Serve(ServerKind kind) {
        std::string why;
        endpoint = LoginServer::Find(kind, m_dir.Path(), why);
        if (!endpoint) GTEST_SKIP() << why;
        Use(endpoint->base, endpoint->trustedCertificate);
    }
    // Points the host at the server at `base`, trusting `certificate` when one is given.
    void Use(const std::string& base, const std::string& certificate = {}) {
        host.setting.Sys("REGISTER", "URL", base + "/register");
        host.setting.Sys("LOGIN", "URL", base + "/login");
        HttpClientOptions options;
        options.strTrustedCertificates = certificate;
        recorder = std::make_unique<RecordingHttps>(options);
        MakeLogin();
    }
    // A new login object (the key file stays); through `other`, a client made with other
    // options.
    void MakeLogin(RecordingHttps* other = nullptr) {
        login.reset();
        LoginEnvironment env;
        env.clock = clock;
        env.httpClient = (other ? *other : *recorder).Factory();
        login = std::make_unique<CLoginImpl>(&host.container, env);
    }
    std::string KeyFile() const { return m_dir.File("Key.dtc"); }
    bool TrustsServer() const { return !endpoint->trustedCertificate.empty(); }

    RegistrySandbox m_registry;
    TempDir m_dir;
    FakeHost host;
    TraceCapture trace;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<LoginServer> endpoint;
    std::unique_ptr<RecordingHttps> recorder;
    std::unique_ptr<CLoginImpl> login;
};
