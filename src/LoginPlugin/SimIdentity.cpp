// The SIM's identity: the card's IMSI or the default identity.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

std::string CLoginImpl::GetIMSI() { return CachedIMSI(); }

std::string CLoginImpl::ReGetATIMSI() {
    SetCachedIMSI(std::string());
    return {};
}

std::string CLoginImpl::GetDefaultIMSI() { return {}; }

int CLoginImpl::CreateDefaultIMSI(std::string& identity) {
    identity.clear();
    return -1;
}
