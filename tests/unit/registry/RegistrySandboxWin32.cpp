// The real registry of the current user. The tests run in a Wine prefix of their own, where the
// product's keys and the test key hold nothing worth keeping; the browser's proxy value is
// saved and put back all the same.
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "RegistrySandbox.h"

namespace {

const char* const kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kProxyServer = "ProxyServer";
const char* const kProductRoot = "Software\\Mirolan";

bool g_bHadProxy = false;
DWORD g_proxyType = REG_SZ;
std::string g_proxy;

void Clean() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kProductRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, kProductRoot);
    RegDeleteTreeA(HKEY_CURRENT_USER, SANDBOX_TEST_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, SANDBOX_TEST_KEY);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, kProxyServer);
        RegCloseKey(key);
    }
}

HKEY Create(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create " + path);
    return key;
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, kProxyServer, nullptr, &g_proxyType, nullptr, &size) ==
            ERROR_SUCCESS) {
            g_proxy.assign(size, '\0');
            g_bHadProxy =
                RegQueryValueExA(key, kProxyServer, nullptr, &g_proxyType,
                                 reinterpret_cast<BYTE*>(&g_proxy[0]), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    Clean();
}

RegistrySandbox::~RegistrySandbox() {
    Clean();
    if (g_bHadProxy) {
        HKEY key = Create(kInternetSettings);
        RegSetValueExA(key, kProxyServer, 0, g_proxyType,
                       reinterpret_cast<const BYTE*>(g_proxy.data()),
                       static_cast<DWORD>(g_proxy.size()));
        RegCloseKey(key);
    }
}

void RegistrySandbox::CreateKey(const std::string& path) {
    RegCloseKey(Create(path));
}

bool RegistrySandbox::KeyExists(const std::string& path) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegistrySandbox::IsVolatile(const std::string& path) const {
    // A volatile key takes only volatile children: a lasting probe key is refused.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
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

bool RegistrySandbox::GetString(const std::string& path, const std::string& name,
                                std::string& value) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok =
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    std::string data(size, '\0');
    if (ok && size > 0)
        ok = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(&data[0]), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!ok) return false;
    while (!data.empty() && data.back() == '\0') data.pop_back();
    value = data;
    return true;
}

// Refusing the product's own key to its user takes a key descriptor, which Wine does not
// enforce (tried: the key still opens with full access), so these cases run on POSIX only.
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
