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
#include "libs/trace/Trace.h"
#include "platform/registry.h"
#include "platform/system_proxy.h"

namespace {

constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\ProxyInfoImpl"};

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

// The host's login URL, for which the system's proxy is asked. Without one (a host that only
// shows the settings dialog) the system is asked for HTTPS in general.
std::string LoginUrl(IPluginContainer* pContainer) {
    HostRef<ISetting> setting = QueryHost<ISetting>(pContainer, PLUGIN_ID_SETTING, IID_SETTING);
    std::string url;
    if (!setting || !setting->GetSysSetting(SETTING_LOGIN_URL.section, SETTING_LOGIN_URL.key, url))
        url.clear();
    return url.empty() ? "https://login.invalid/" : url;
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
        if (type == PROXY_TYPE_BROWSER) return ParseProxyAddress(Browser().server);
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
        if (type == PROXY_TYPE_BROWSER) return ParseProxyPort(Browser().server);
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
        // None stored: the browser's proxy may carry its own in its URL.
        if (user.empty() && GetProxyType() == PROXY_TYPE_BROWSER) return Browser().user;
        return user;
    } catch (...) {
        return {};
    }
}

std::string CProxyInfoImpl::GetProxyPassword() {
    try {
        std::string user;
        ReadProxySetting(m_pPluginContainer, SETTING_PROXY_USER, user);
        if (user.empty() && GetProxyType() == PROXY_TYPE_BROWSER) return Browser().password;
        std::string stored;
        if (!ReadProxySetting(m_pPluginContainer, SETTING_PROXY_PASSWORD, stored)) return {};
        const auto crypt = QueryHost<ICryptPlugin>(m_pPluginContainer, PLUGIN_ID_CRYPT, IID_CRYPT);
        if (!crypt) return {};
        return crypt->Decrypt(stored);
    } catch (...) {
        return {};
    }
}

BrowserProxy CProxyInfoImpl::Browser() {
    BrowserProxy proxy = GetBrowserProxy(LoginUrl(m_pPluginContainer));
    if (!proxy.bSystemAsked || !proxy.server.empty()) {
        m_bToldDirect = false;
    } else if (!m_bToldDirect.exchange(true)) {
        TRACE_AT(kTrace, TRACE_WARN, "the browser's proxy was asked: none applies, direct!");
    }
    return proxy;
}

BrowserProxy GetBrowserProxy(const std::string& url) {
    BrowserProxy proxy;
    try {
        RegKey key = RegKey::OpenCurrentUser(std::string(LOGIN_REGISTRY_BROWSER_KEY) + "\\",
                                             RegAccess::Read);
        uint32_t size = 0;
        if (key.IsOpen() && key.QueryValue(LOGIN_REGISTRY_BROWSER_PROXY_VALUE, nullptr, size)) {
            if (size == 0) return proxy;
            std::vector<char> buffer(size, '\0');
            if (!key.QueryValue(LOGIN_REGISTRY_BROWSER_PROXY_VALUE, buffer.data(), size))
                return proxy;
            // The value's type is not looked at; a missing terminator never runs past the end.
            proxy.server = std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
            return proxy;
        }
        const SystemProxy system = SystemProxyFor(url);
        proxy.server = system.server;
        proxy.user = system.user;
        proxy.password = system.password;
        proxy.bSystemAsked = system.bAsked;
    } catch (...) {
        proxy = BrowserProxy();
    }
    return proxy;
}

std::string GetIEProxyServer(const std::string& url) {
    return GetBrowserProxy(url).server;
}

std::string GetBrowserProxyServer(IPluginContainer* pContainer) {
    try {
        return GetIEProxyServer(LoginUrl(pContainer));
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
