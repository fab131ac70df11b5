// The files the plug-in reads beside the host program (here: the test program), removed before
// and after each test. Tests that use them hold the host_dir resource lock.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "HostCrypt.h"
#include "platform/module.h"

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
    // The brand table as the reference host's crypt plug-in encodes it.
    static void WriteBrandTable(const std::string& xml, const std::string& workingKey) {
        Write(kBrandTable, HostCrypt::EncodeBuffer(xml, workingKey));
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
