// The form posts to the account server.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

bool CLoginImpl::PostToServer(const std::string&, const std::string&, const std::string&,
                              const std::string&, const std::string&, bool, ServerReply&) {
    return false;
}

std::string CLoginImpl::DoRegister(const std::string&, const std::string&, const std::string&) {
    return {};
}

bool CLoginImpl::DoLoginServer(const std::string&, const std::string&, const std::string&) {
    return false;
}

bool CLoginImpl::GetProxyInfo(std::string&, std::string&) { return false; }

bool CLoginImpl::GetAccountInfo(std::string&, std::string&) { return false; }

void CLoginImpl::CancelExchange() {}
