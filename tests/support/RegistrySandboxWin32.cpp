// The real registry of the current user. The tests run in a Wine prefix of their own, where the
// product's keys, the test key and the browser's proxy value hold nothing worth keeping.
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "RegistrySandbox.h"

namespace {

HKEY Open(const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) == ERROR_SUCCESS
               ? key
               : nullptr;
}

HKEY Create(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create " + path);
    return key;
}

void Clean() {
    for (const char* path : {"Software\\Mirolan", SANDBOX_TEST_KEY}) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path);
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
    }
    if (HKEY key = Open("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                        KEY_SET_VALUE)) {
        RegDeleteValueA(key, "ProxyServer");
        RegCloseKey(key);
    }
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
    Clean();
}

RegistrySandbox::~RegistrySandbox() {
    Clean();
}

void RegistrySandbox::CreateKey(const std::string& path) {
    RegCloseKey(Create(path));
}

bool RegistrySandbox::KeyExists(const std::string& path) const {
    HKEY key = Open(path, KEY_READ);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

bool RegistrySandbox::IsVolatile(const std::string& path) const {
    // A volatile key takes only volatile children: a lasting probe key is refused.
    HKEY key = Open(path, KEY_ALL_ACCESS);
    if (!key) return false;
    HKEY probe = nullptr;
    const LONG rc = RegCreateKeyExA(key, "VolatilityProbe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &probe, nullptr);
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(probe);
        RegDeleteKeyA(key, "VolatilityProbe");
    }
    RegCloseKey(key);
    return rc == ERROR_CHILD_MUST_BE_VOLATILE;
}

void RegistrySandbox::SetString(const std::string& path, const std::string& name,
                                const std::string& value) {
    HKEY key = Create(path);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

std::string RegistrySandbox::GetString(const std::string& path, const std::string& name) const {
    HKEY key = Open(path, KEY_READ);
    char data[512] = {};
    DWORD size = sizeof data - 1;
    const bool ok = key && RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    return ok ? std::string(data) : "<none>";
}

// Refusing the product's own key to its user takes a key descriptor, which Wine does not
// enforce (the key still opens with full access), so these cases run on POSIX only.
bool RegistrySandbox::BlockKey(const std::string&) {
    return false;
}

bool RegistrySandbox::BlockValue(const std::string&, const std::string&) {
    return false;
}

void RegistrySandbox::UseUtc() {
    _putenv_s("TZ", "UTC0");
    _tzset();
}
