// The login sequence: identity, SIM type, key file, the stored password or a registration, the
// login, and one more registration and login when the server asks for it. It runs over the steps
// below, which the login object carries out, and decides from what they report whether the
// login succeeded and which state code it leaves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "SecurityPolicy.h"
#include "StepOutcome.h"

class LoginSteps {
public:
    virtual ~LoginSteps() = default;
    // The SIM's identity (text), with the code of a failed card read.
    virtual StepOutcome Identity() = 0;
    // The SIM type (text), with the code of a failed read of the service-provider name.
    virtual StepOutcome SimType() = 0;
    virtual std::string KeyFile() = 0;
    // The stored password; the login object keeps it for the result objects.
    virtual std::string StoredPassword(const std::string& keyFile) = 0;
    virtual std::string RegisterUrl() = 0;
    virtual std::string LoginUrl() = 0;
    // The password the server hands out (text, also kept by the login object), or none.
    virtual StepOutcome Register(const std::string& url, const std::string& simType) = 0;
    // Accepted or not, with the exchange's or the server's code.
    virtual StepOutcome Login(const std::string& url, const std::string& password,
                              const std::string& simType) = 0;
};

// How a sequence ended: the code to leave (none: the code stays as it was), and whether the
// server's refusal made it register again.
struct SequenceEnd {
    bool bLoggedIn = false;
    bool bRegisteredAgain = false;
    std::optional<int32_t> code;
};

// Runs one sequence; `codeBefore` is the login object's code as the sequence starts. `end` is
// filled as the steps report, so that a step that throws still leaves what came before it.
void RunLoginSequence(LoginSteps& steps, int32_t codeBefore, const SecurityPolicy& policy,
                      SequenceEnd& end);
