// PENDING: placeholder bodies until proxy information is built; failure values only.
#include "ProxyInfoImpl.h"

int32_t CProxyInfoImpl::GetProxyType() { return 0; }
std::string CProxyInfoImpl::GetProxyAddress() { return {}; }
std::string CProxyInfoImpl::GetProxyPort() { return {}; }
std::string CProxyInfoImpl::GetProxyUser() { return {}; }
std::string CProxyInfoImpl::GetProxyPassword() { return {}; }
std::string GetIEProxyServer() { return {}; }
std::string ParseProxyAddress(const std::string&) { return {}; }
std::string ParseProxyPort(const std::string&) { return {}; }
