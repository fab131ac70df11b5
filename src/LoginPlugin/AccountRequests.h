// The account server's two requests: the form headers and the bodies of the registration and of
// the login, as the security policy writes form values.
#pragma once

#include <string>

#include "SecurityPolicy.h"

// The headers of both form posts.
extern const char* const kAccountFormHeaders;

// "cid=<imsi>&ctype=<simType>".
std::string RegistrationBody(const SecurityPolicy& policy, const std::string& imsi,
                             const std::string& simType);
// "cid=<imsi>&pass=<password>&ctype=<simType>".
std::string LoginBody(const SecurityPolicy& policy, const std::string& imsi,
                      const std::string& password, const std::string& simType);
