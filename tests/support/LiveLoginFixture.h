// The login object against real peers on loopback, through the platform's own client (libcurl
// natively, WinINet under Wine): a key file directory and a registry of its own, and each test
// its own subscriber, since under Wine the servers live for the whole run.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "ManualClock.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

class LiveLoginTest : public ::testing::Test {
protected:
    LiveLoginTest() {
        m_registry.CreateKey(LOGIN_REGISTRY_PRODUCT_KEY);
        host.comm.SetSpn("CMCC");
        NewSubscriber("");
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", m_dir.WithSeparator());
    }
    ~LiveLoginTest() override { login.reset(); }

    // A subscriber of this test's own; a case of a table test adds its name.
    void NewSubscriber(const std::string& salt) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        host.comm.SetImsi(
            "46000" +
            std::to_string(1000000000 + std::hash<std::string>()(info->name() + salt) % 999999999));
    }
    // The host's URLs at the server at `base`.
    void PointAt(const std::string& base) {
        host.setting.Sys("REGISTER", "URL", base + "/register");
        host.setting.Sys("LOGIN", "URL", base + "/login");
    }
    // A new login object (the key file stays), its client from `factory` (null: the platform's).
    void MakeLogin(HttpClientFactory factory = {}) {
        login.reset();
        LoginEnvironment env;
        env.clock = clock;
        env.httpClient = std::move(factory);
        login = std::make_unique<CLoginImpl>(&host.container, env);
    }
    std::string KeyFile() const { return m_dir.File("Key.dtc"); }

    RegistrySandbox m_registry;
    TempDir m_dir;
    FakeHost host;
    TraceCapture trace;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<CLoginImpl> login;
};
