// The files that the plug-in reads beside the host program (here: the test program), written
// for one test and removed after it. Tests that use them hold the host_dir resource lock.
#pragma once

#include <string>

#include "HostCrypt.h"

class HostDirFiles {
public:
    HostDirFiles();
    ~HostDirFiles();
    HostDirFiles(const HostDirFiles&) = delete;
    HostDirFiles& operator=(const HostDirFiles&) = delete;

    // The directory of the running program, with its separator at the end.
    static std::string Dir();

    // SIMBrandInfo.xml, encoded by the reference host's crypt plug-in under workingKey.
    void WriteBrandTable(const std::string& xml, const std::string& workingKey);
    // SIMBrandInfo.xml with exactly these bytes.
    void WriteRawBrandTable(const std::string& bytes);
    void WritePluginList(const std::string& xml);
    void RemoveBrandTable() { Remove("SIMBrandInfo.xml"); }
    bool BrandTableExists() const;
    std::string ReadBrandTable() const;

private:
    static void Write(const std::string& name, const std::string& bytes);
    static void Remove(const std::string& name);
};
