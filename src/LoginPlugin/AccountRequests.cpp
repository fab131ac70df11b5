#include "AccountRequests.h"

const char* const kAccountFormHeaders =
    "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";

std::string RegistrationBody(const SecurityPolicy& policy, const std::string& imsi,
                             const std::string& simType) {
    return policy.FormBody({{"cid", imsi}, {"ctype", simType}});
}

std::string LoginBody(const SecurityPolicy& policy, const std::string& imsi,
                      const std::string& password, const std::string& simType) {
    return policy.FormBody({{"cid", imsi}, {"pass", password}, {"ctype", simType}});
}
