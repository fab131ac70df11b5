// The stored password in the key file.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

std::string CLoginImpl::GetKeyFile() { return {}; }

void CLoginImpl::CreateKeyFile() {}

std::string CLoginImpl::ReadPwd(const std::string&) { return {}; }

bool CLoginImpl::WritePwd(const std::string&, const std::string&) { return false; }
