// The user's proxy choice, read from the host's settings (or the browser's proxy) on every call.
#pragma once

#include <string>

#include "IPluginContainer.h"
#include "IProxyInfo.h"

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
    int32_t m_nErrorCode = 0;
    IPluginContainer* m_pPluginContainer;
};

// The current user's browser proxy ("host:port"), or empty.
std::string GetIEProxyServer();
// The host part of "host:port" (all of it when there is no colon).
std::string ParseProxyAddress(const std::string& proxyServer);
// The port part of "host:port" (empty when there is no colon).
std::string ParseProxyPort(const std::string& proxyServer);
