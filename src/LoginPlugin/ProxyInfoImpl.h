// The user's proxy choice, read from the host's settings (or the browser's proxy) on every call.
#pragma once

#include <atomic>
#include <string>

#include "IPluginContainer.h"
#include "IProxyInfo.h"

// The browser's proxy for requests to `url`: the current user's registry value "ProxyServer"
// when present (used whole); else, on Linux, what the system offers for that URL, with the
// credentials the proxy's URL may carry.
struct BrowserProxy {
    std::string server;  // "host:port"; empty: direct
    std::string user;
    std::string password;
    bool bSystemAsked = false;  // the answer is the system's, not the registry value
};

class CProxyInfoImpl : public IProxyInfo {
public:
    explicit CProxyInfoImpl(IPluginContainer* pContainer) : m_pPluginContainer(pContainer) {}
    virtual ~CProxyInfoImpl() = default;
    CProxyInfoImpl(const CProxyInfoImpl&) = delete;
    CProxyInfoImpl& operator=(const CProxyInfoImpl&) = delete;

    void Release() override {}
    int32_t GetErrorCode() override { return m_nErrorCode; }
    int32_t GetProxyType() override;
    std::string GetProxyAddress() override;
    std::string GetProxyPort() override;
    std::string GetProxyUser() override;
    std::string GetProxyPassword() override;

private:
    BrowserProxy Browser();

    int32_t m_nErrorCode = 0;
    IPluginContainer* m_pPluginContainer;
    // Whether "none applies" was traced since a proxy last applied: it is said once, not at
    // every request.
    std::atomic<bool> m_bToldDirect{false};
};

BrowserProxy GetBrowserProxy(const std::string& url);
// Its "host:port", or empty.
std::string GetIEProxyServer(const std::string& url = {});
// The browser's proxy for the host's login URL, as the login would use it (the dialog shows it).
std::string GetBrowserProxyServer(IPluginContainer* pContainer);
// The host part of "host:port" (all of it when there is no colon).
std::string ParseProxyAddress(const std::string& proxyServer);
// The port part of "host:port" (empty when there is no colon).
std::string ParseProxyPort(const std::string& proxyServer);
