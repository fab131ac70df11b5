// A host that serves the reference crypt plug-in and its working key, the files beside the test
// program, and a login object made on first use (its constructor reads the card already).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeHost.h"
#include "HostCrypt.h"
#include "HostDirFiles.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "TraceCapture.h"

inline std::string Card(const std::string& name, const std::string& tag, const std::string& skin) {
    return "<cardtype><name>" + name + "</name><tag>" + tag + "</tag><skinpath>" + skin +
           "</skinpath></cardtype>";
}

class BrandFixture : public ::testing::Test {
protected:
    static constexpr const char* kWorkingKey = "brand table key";

    BrandFixture() { Serve(host); }
    void Serve(FakeHost& h) {
        h.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
        h.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
    }
    static LoginEnvironment ManualEnv(std::shared_ptr<IClock> clock = nullptr) {
        LoginEnvironment env;
        env.clock = clock ? clock : std::make_shared<ManualClock>();
        return env;
    }
    CLoginImpl& Login() {
        if (!login) login = std::make_unique<CLoginImpl>(&host.container, ManualEnv(clock));
        return *login;
    }

    HostDirFiles files;
    FakeHost host;
    HostCrypt crypt;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TraceCapture trace;
    std::unique_ptr<CLoginImpl> login;
};
