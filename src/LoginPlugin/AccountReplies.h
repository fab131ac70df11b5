// The account server's two replies read as plain text: the password of a registration reply and
// the encode key and session id of a login reply. No host and no object: each function takes the
// reply and sets `code` to the result code the login object then keeps (left empty when the reply
// never got as far as a code).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Encode key and session id of the last successful login.
struct LoginResult {
    std::string strEncodeKey;
    std::string strSessionId;
};

// The result code as atoi reads it: leading blanks, a sign, digits up to the first other byte;
// no digits give 0. Out-of-range values saturate instead of being undefined.
int32_t ReplyResultCode(const std::string& text);

// The password of a registration reply, or empty (traced) when the reply is not one or carries a
// code other than 0. `bTraceReply` lets a reply without its root be traced whole (it may hold the
// password).
std::string PasswordFromReply(const std::string& reply, bool bTraceReply,
                              std::optional<int32_t>& code);

// Key and session of a login reply with code 0; false (traced, `result` untouched) otherwise.
// A reply that does not parse leaves -3. Without `bTraceReply` no text of the reply is traced
// (a refusal's code is traced as the number read).
bool LoginResultFromReply(const std::string& reply, LoginResult& result,
                          std::optional<int32_t>& code, bool bTraceReply = true);
