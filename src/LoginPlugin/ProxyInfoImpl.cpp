// The user's proxy choice. Nothing is kept: every call asks the host's settings service (or the
// browser's proxy setting) again, so the answer follows the settings dialog at once.
#include "ProxyInfoImpl.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "ICryptPlugin.h"
#include "ISetting.h"
#include "LoginSettings.h"
#include "PluginIds.h"
#include "global/HostRef.h"
#include "platform/registry.h"

namespace {

// One "PROXY" user setting; false when there is no settings service or no such setting.
bool ReadProxySetting(IPluginContainer* pContainer, const LoginSettingName& name,
                      std::string& value) {
    HostRef<ISetting> setting = QueryHost<ISetting>(pContainer, PLUGIN_ID_SETTING, IID_SETTING);
    if (!setting) return false;
    std::string text;
    const bool found = setting->GetUserSetting(name.section, name.key, text);
    setting.Release();
    if (found) value = text;
    return found;
}

}  // namespace

int32_t CProxyInfoImpl::GetProxyType() {
    try {
        std::string type;
        if (!ReadProxySetting(m_pPluginContainer, SETTING_PROXY_TYPE, type)) return PROXY_TYPE_NONE;
        return std::atoi(type.c_str());
    } catch (...) {
        return PROXY_TYPE_NONE;
    }
}

std::string CProxyInfoImpl::GetProxyAddress() {
    try {
        const int32_t type = GetProxyType();
        if (type == PROXY_TYPE_NONE) return {};
        if (type == PROXY_TYPE_BROWSER) return ParseProxyAddress(GetIEProxyServer());
        std::string address;
        ReadProxySetting(m_pPluginContainer, SETTING_PROXY_ADDRESS, address);
        return address;
    } catch (...) {
        return {};
    }
}

std::string CProxyInfoImpl::GetProxyPort() {
    try {
        const int32_t type = GetProxyType();
        if (type == PROXY_TYPE_NONE) return {};
        if (type == PROXY_TYPE_BROWSER) return ParseProxyPort(GetIEProxyServer());
        std::string port;
        ReadProxySetting(m_pPluginContainer, SETTING_PROXY_PORT, port);
        return port;
    } catch (...) {
        return {};
    }
}

std::string CProxyInfoImpl::GetProxyUser() {
    try {
        std::string user;
        ReadProxySetting(m_pPluginContainer, SETTING_PROXY_USER, user);
        return user;
    } catch (...) {
        return {};
    }
}

std::string CProxyInfoImpl::GetProxyPassword() {
    try {
        std::string stored;
        if (!ReadProxySetting(m_pPluginContainer, SETTING_PROXY_PASSWORD, stored)) return {};
        const auto crypt = QueryHost<ICryptPlugin>(m_pPluginContainer, PLUGIN_ID_CRYPT, IID_CRYPT);
        if (!crypt) return {};
        return crypt->Decrypt(stored);
    } catch (...) {
        return {};
    }
}

std::string GetIEProxyServer() {
    try {
        RegKey key = RegKey::OpenCurrentUser(std::string(LOGIN_REGISTRY_BROWSER_KEY) + "\\",
                                             RegAccess::Read);
        if (key.IsOpen()) {
            uint32_t size = 0;
            if (!key.QueryValue(LOGIN_REGISTRY_BROWSER_PROXY_VALUE, nullptr, size))
                return SystemProxyServer();
            if (size == 0) return {};
            std::vector<char> buffer(size, '\0');
            if (!key.QueryValue(LOGIN_REGISTRY_BROWSER_PROXY_VALUE, buffer.data(), size)) return {};
            // The value's type is not looked at; a missing terminator never runs past the end.
            return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
        }
        return SystemProxyServer();
    } catch (...) {
        return {};
    }
}

std::string ParseProxyAddress(const std::string& proxyServer) {
    const size_t colon = proxyServer.rfind(':');
    return colon == std::string::npos ? proxyServer : proxyServer.substr(0, colon);
}

std::string ParseProxyPort(const std::string& proxyServer) {
    const size_t colon = proxyServer.rfind(':');
    return colon == std::string::npos ? std::string() : proxyServer.substr(colon + 1);
}
