// The login object on the manual clock and the scripted HTTPS layer, with a key file directory
// and a registry of its own, and a host whose card, brand and URLs make a login possible.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "FakeHttps.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

constexpr char kImsiA[] = "460001234567890";
constexpr char kImsiB[] = "460009876543210";
constexpr char kSimType[] = "CMCC";
constexpr char kRegisterUrl[] = "https://acct.example.com/register";
constexpr char kLoginUrl[] = "https://acct.example.com/login";

inline std::string Registered(const std::string& password) {
    return "<result><resultValue>0</resultValue><password>" + password + "</password></result>";
}
inline std::string Accepted(const std::string& sessionId, const std::string& key = "EK") {
    return "<result><resultValue>0</resultValue><encodekey>" + key + "</encodekey><sessionid>" +
           sessionId + "</sessionid></result>";
}
inline std::string Refused(int code) {
    return "<result><resultValue>" + std::to_string(code) + "</resultValue></result>";
}
inline std::string LoginBody(const std::string& imsi, const std::string& password) {
    return "cid=" + imsi + "&pass=" + password + "&ctype=" + kSimType;
}
inline std::string RegisterBody(const std::string& imsi) {
    return "cid=" + imsi + "&ctype=" + kSimType;
}

// A directory for the key file, removed afterwards, and a registry of the test's own (on
// Windows the real one, emptied of the product's keys before and after); made before the login
// object, which prepares the key file when it is constructed.
class WorkerPlace {
public:
    WorkerPlace() {
        // The default identity is kept below a key that must exist already: without it each
        // call makes a new identity, and the worker's default would not be the one it is given.
        m_registry.CreateKey("Software\\Mirolan\\Velko");
    }
    std::string KeyDir() const { return m_dir.WithSeparator(); }

private:
    RegistrySandbox m_registry;
    TempDir m_dir;
};

class WorkerTest : public ::testing::Test {
protected:
    WorkerTest() { login.Prepare(); }

    struct HostSetup {
        HostSetup(FakeHost& host, const WorkerPlace& place) {
            host.comm.SetImsi(kImsiA);
            host.comm.SetSpn(kSimType);
            host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", place.KeyDir());
            host.setting.Sys("REGISTER", "URL", kRegisterUrl);
            host.setting.Sys("LOGIN", "URL", kLoginUrl);
        }
    };

    // Starts the worker and waits until it sleeps in its first pass.
    void Start() {
        ASSERT_TRUE(login.StartLogin());
        ASSERT_TRUE(clock->WaitForSleep(0));
    }
    // Lets the worker run `count` passes of one second each.
    void Passes(int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(clock->Step(1000)) << "pass " << i;
    }
    // The bodies of the sends so far.
    std::vector<std::string> Bodies() const {
        std::vector<std::string> bodies;
        for (const HttpCall& call : https.Calls("Send")) bodies.push_back(call.text2);
        return bodies;
    }
    void StorePassword(const std::string& password) {
        ASSERT_TRUE(login.WritePwd(login.GetKeyFile(), password));
    }

    WorkerPlace place;
    FakeHost host;
    HostSetup setup{host, place};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeHttps https;
    TraceCapture trace;
    CLoginImpl login{&host.container, {clock, https.Factory()}};
};
