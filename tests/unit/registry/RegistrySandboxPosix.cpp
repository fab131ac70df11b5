#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "RegistrySandbox.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;
const char* const kProxyVariables[] = {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"};

fs::path PathOf(const std::string& key) {
    fs::path p = g_root;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        if (end > start) p /= key.substr(start, end - start);
        start = end + 1;
    }
    return p;
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
    std::string pattern = (fs::temp_directory_path() / "loginplugin-reg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    g_root = pattern;
    setenv("LOGINPLUGIN_REGISTRY", pattern.c_str(), 1);
    for (const char* name : kProxyVariables) unsetenv(name);
}

RegistrySandbox::~RegistrySandbox() {
    unsetenv("LOGINPLUGIN_REGISTRY");
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
    std::ofstream(PathOf(path) / name, std::ios::binary) << value;
}

bool RegistrySandbox::GetString(const std::string& path, const std::string& name,
                                std::string& value) const {
    std::ifstream in(PathOf(path) / name, std::ios::binary);
    if (!in) return false;
    value.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
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
