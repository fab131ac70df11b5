// The readers of the account server's replies.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

std::string CLoginImpl::GetPwdFromResponse(const std::string&) { return {}; }

bool CLoginImpl::ParseLoginResult(const std::string&, LoginResult&) { return false; }
