// The files the plug-in reads beside the host program (here: the test program), and a host that
// serves the reference crypt plug-in with its working key. Tests that use them hold the host_dir
// resource lock.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "FakeHost.h"
#include "HostCrypt.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "libs/trace/TraceCapture.h"
#include "platform/module.h"

inline std::string Card(const std::string& name, const std::string& tag, const std::string& skin) {
    return "<cardtype><name>" + name + "</name><tag>" + tag + "</tag><skinpath>" + skin +
           "</skinpath></cardtype>";
}

// Removed before and after each test.
struct HostDirFiles {
    static constexpr const char* kBrandTable = "SIMBrandInfo.xml";
    static constexpr const char* kPluginList = "plugins.xml";

    HostDirFiles() { Remove(kBrandTable), Remove(kPluginList); }
    ~HostDirFiles() { Remove(kBrandTable), Remove(kPluginList); }
    static std::string Path(const std::string& name) {
        const std::string exe = GetHostExecutablePath();
        return exe.substr(0, exe.find_last_of(PathSeparator()) + 1) + name;
    }
    // Written whole under another name first, so that a reader never sees half a file.
    static void Write(const std::string& name, const std::string& bytes) {
        if (!(std::ofstream(Path(name) + ".part", std::ios::binary) << bytes))
            throw std::runtime_error("cannot write " + name);
        std::filesystem::rename(Path(name) + ".part", Path(name));
    }
    static std::string Read(const std::string& name) {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Remove(const std::string& name) {
        std::error_code ec;
        std::filesystem::remove(Path(name), ec);
    }
};

// A login object is made on first use: its constructor reads the card already.
class BrandFixture : public ::testing::Test {
protected:
    static constexpr const char* kWorkingKey = "brand table key";

    BrandFixture() {
        host.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &crypt);
        host.setting.Sys("CRYPT", "CRYPT", crypt.Encrypt(kWorkingKey));
    }
    // The brand table as the reference host's crypt plug-in encodes it.
    void WriteBrandTable(const std::string& xml) {
        files.Write(HostDirFiles::kBrandTable, HostCrypt::EncodeBuffer(xml, kWorkingKey));
    }
    // The login object as the plug-in makes it: constructed, then prepared.
    CLoginImpl& Login() {
        if (!login) {
            login = std::make_unique<CLoginImpl>(&host.container, LoginEnvironment{clock, {}});
            login->Prepare();
        }
        return *login;
    }

    HostDirFiles files;
    FakeHost host;
    HostCrypt crypt;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TraceCapture trace;
    std::unique_ptr<CLoginImpl> login;
};
