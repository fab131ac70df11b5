// The login object behind a real proxy on loopback, through the platform's own client (libcurl
// natively, WinINet under Wine): a key file directory and a registry of its own, a host whose
// URLs point at the account server, and the proxy's access log read from where this test began.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "ManualClock.h"
#include "ProxyPeers.h"
#include "RegistrySandbox.h"
#include "ServerLogs.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

// A proxy's access log from a given point on (under Wine the proxies serve the whole run).
class AccessLog {
public:
    AccessLog() = default;
    explicit AccessLog(std::string path) : m_path(std::move(path)), m_from(Size()) {}
    const std::string& Path() const { return m_path; }

    // The lines written since this object was made.
    std::vector<std::string> Lines() const {
        std::string text = ReadLog(m_path);
        text.erase(0, std::min(m_from, text.size()));
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        return lines;
    }
    // The lines whose method is not CONNECT: requests the proxy saw in clear. (squid's fields:
    // time, elapsed, client, result/status, bytes, method, URL, user, hierarchy, type.)
    std::vector<std::string> PlainRequests() const {
        std::vector<std::string> plain;
        for (const std::string& line : Lines()) {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 6 && fields >> field;) ++i;
            if (field != "CONNECT") plain.push_back(line);
        }
        return plain;
    }
    // How many new lines hold `text`, waiting until at least `atLeast` do (squid writes a line
    // when its transaction ends) or 20 s have gone.
    int Count(const std::string& text, int atLeast = 1) const {
        int count = 0;
        for (int i = 0; i < 2000 && count < atLeast; ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            count = 0;
            for (const std::string& line : Lines()) count += line.find(text) != std::string::npos;
        }
        return count;
    }

private:
    size_t Size() const {
        std::ifstream in(m_path, std::ios::binary | std::ios::ate);
        return in ? static_cast<size_t>(in.tellg()) : 0;
    }
    std::string m_path;
    size_t m_from = 0;
};

class ProxyTest : public ::testing::Test {
protected:
    ProxyTest() {
        m_registry.CreateKey(LOGIN_REGISTRY_PRODUCT_KEY);
        host.comm.SetSpn("CMCC");
        // Each test and each case its own subscriber: under Wine the server lives for the run.
        NewSubscriber("");
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", m_dir.WithSeparator());
    }
    ~ProxyTest() override { login.reset(); }

    void SetUp() override {
        std::string why;
        peers = ProxyPeers::Make(m_dir.Path(), why);
        if (!peers) GTEST_SKIP() << why;
        host.setting.Sys("REGISTER", "URL", peers->ServerBase() + "/register");
        host.setting.Sys("LOGIN", "URL", peers->ServerBase() + "/login");
    }

    void NewSubscriber(const std::string& salt) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        host.comm.SetImsi(
            "46000" +
            std::to_string(1000000000 + std::hash<std::string>()(info->name() + salt) % 999999999));
    }
    // The port of a proxy of that kind, its log read from now on; 0 (a failure noted) if none.
    uint16_t StartProxy(ProxyKind kind) {
        uint16_t port = 0;
        std::string path, why;
        if (!peers->Proxy(kind, port, path, why)) {
            ADD_FAILURE() << why;
            return 0;
        }
        log = AccessLog(path);
        return port;
    }
    // The user's own proxy (type 1) at that port, with these credentials (null: none stored).
    void UseProxy(uint16_t port, const char* user, const char* password) {
        host.setting.User("PROXY", "TYPE", "1");
        host.setting.User("PROXY", "ADDRESS", "127.0.0.1");
        host.setting.User("PROXY", "PORT", std::to_string(port));
        StoreCredentials(user, password);
    }
    void StoreCredentials(const char* user, const char* password) {
        host.setting.User("PROXY", "USER", user ? user : "");
        host.setting.User("PROXY", "PASSWORD", password ? host.crypt.Encrypt(password) : "");
    }
    // One login sequence of a new login object (the key file stays).
    bool LogIn() {
        login.reset();
        LoginEnvironment env;
        env.clock = clock;
        login = std::make_unique<CLoginImpl>(&host.container, env);
        return login->DoLoginThread();
    }
    std::string KeyFile() const { return m_dir.File("Key.dtc"); }

    RegistrySandbox m_registry;
    TempDir m_dir;
    FakeHost host;
    TraceCapture trace;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<ProxyPeers> peers;
    AccessLog log;
    std::unique_ptr<CLoginImpl> login;
};
