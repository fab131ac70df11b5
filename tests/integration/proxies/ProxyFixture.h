// The login object behind a real proxy on loopback, and the proxy's access log read from where
// the test began.
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

#include "LiveLoginFixture.h"
#include "ProxyPeers.h"
#include "ServerLogs.h"

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

class ProxyTest : public LiveLoginTest {
protected:
    void SetUp() override {
        std::string why;
        peers = ProxyPeers::Make(m_dir.Path(), why);
        if (!peers) GTEST_SKIP() << why;
        PointAt(peers->ServerBase());
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
        MakeLogin();
        return login->DoLoginThread();
    }

    std::unique_ptr<ProxyPeers> peers;
    AccessLog log;
};
