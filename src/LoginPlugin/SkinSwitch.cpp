// The skin switch, its broadcast and the plug-in list.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

void CLoginImpl::CheckSimCardType(const std::string&) {}

bool CLoginImpl::InitSimBrandSetting(const std::string&) { return false; }

void CLoginImpl::RefreshPluginList() {}

bool CLoginImpl::ReadPluginList(std::vector<PluginRecord>&) { return false; }

bool CLoginImpl::ReadServiceScreenCodes(std::vector<std::string>&) { return false; }

std::string CLoginImpl::GetModuleDir() { return {}; }
