#include "HostDirFiles.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/module.h"

namespace {
const char* const kBrandTable = "SIMBrandInfo.xml";
const char* const kPluginList = "plugins.xml";
}  // namespace

HostDirFiles::HostDirFiles() {
    Remove(kBrandTable);
    Remove(kPluginList);
}

HostDirFiles::~HostDirFiles() {
    Remove(kBrandTable);
    Remove(kPluginList);
}

std::string HostDirFiles::Dir() {
    const std::string exe = GetHostExecutablePath();
    return exe.substr(0, exe.find_last_of(PathSeparator()) + 1);
}

void HostDirFiles::Write(const std::string& name, const std::string& bytes) {
    // Written whole under another name first, so a reader never sees half a file.
    const std::string path = Dir() + name;
    {
        std::ofstream out(path + ".part", std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    std::filesystem::rename(path + ".part", path);
}

void HostDirFiles::Remove(const std::string& name) {
    std::error_code ec;
    std::filesystem::remove(Dir() + name, ec);
}

void HostDirFiles::WriteBrandTable(const std::string& xml, const std::string& workingKey) {
    const std::string encoded = HostCrypt::EncodeBuffer(xml, workingKey);
    if (encoded.empty()) throw std::runtime_error("the host's cipher failed");
    Write(kBrandTable, encoded);
}

void HostDirFiles::WriteRawBrandTable(const std::string& bytes) {
    Write(kBrandTable, bytes);
}

void HostDirFiles::WritePluginList(const std::string& xml) {
    Write(kPluginList, xml);
}

bool HostDirFiles::BrandTableExists() const {
    std::error_code ec;
    return std::filesystem::exists(Dir() + kBrandTable, ec);
}

std::string HostDirFiles::ReadBrandTable() const {
    std::ifstream in(Dir() + kBrandTable, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
