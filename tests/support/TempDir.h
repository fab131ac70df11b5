// A directory of the test's own, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

#include "TestEnv.h"

class TempDir {
public:
    TempDir() : m_path(MakeTempDir("loginplugin-test")) {}
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Without a separator at the end.
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const {
        return (std::filesystem::path(m_path) / name).string();
    }
    // With its separator at the end, as the host's setting gives a directory.
    std::string WithSeparator() const { return (std::filesystem::path(m_path) / "").string(); }

private:
    std::string m_path;
};
