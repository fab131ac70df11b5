#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "LoginSettings.h"
#include "RegistrySandbox.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;

fs::path PathOf(std::string key) {
    for (char& c : key)
        if (c == '\\') c = '/';
    return g_root / fs::path(key).relative_path();
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
    std::string pattern = (fs::temp_directory_path() / "loginplugin-reg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    g_root = pattern;
    setenv(LOGIN_REGISTRY_ENV, pattern.c_str(), 1);
    for (const char* name : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"})
        unsetenv(name);
}

RegistrySandbox::~RegistrySandbox() {
    unsetenv(LOGIN_REGISTRY_ENV);
    std::error_code ec;
    fs::remove_all(g_root, ec);
}

void RegistrySandbox::CreateKey(const std::string& path) {
    fs::create_directories(PathOf(path));
}

bool RegistrySandbox::KeyExists(const std::string& path) const {
    return fs::is_directory(PathOf(path));
}

bool RegistrySandbox::IsVolatile(const std::string& path) const {
    return fs::exists(PathOf(path) / ".volatile");
}

void RegistrySandbox::SetString(const std::string& path, const std::string& name,
                                const std::string& value) {
    fs::create_directories(PathOf(path));
    std::ofstream(PathOf(path) / name, std::ios::binary) << value;
}

std::string RegistrySandbox::GetString(const std::string& path, const std::string& name) const {
    std::ifstream in(PathOf(path) / name, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

bool RegistrySandbox::BlockKey(const std::string& path) {
    std::ofstream(PathOf(path)) << "not a key";
    return true;
}

bool RegistrySandbox::BlockValue(const std::string& path, const std::string& name) {
    return fs::create_directories(PathOf(path) / name);
}

void RegistrySandbox::UseUtc() {
    setenv("TZ", "UTC0", 1);
    tzset();
}
