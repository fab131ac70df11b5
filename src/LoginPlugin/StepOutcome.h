// What one step of a login hands back to the login sequence: whether it did its work, what it
// found (an identity, a SIM type, a password), and the state code it reports, if it has one. A
// step without a code leaves the login object's code as it was; the sequence alone writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct StepOutcome {
    bool bOk = false;
    std::string text;
    std::optional<int32_t> code;

    // A later report replaces an earlier one; no report keeps it.
    void Report(const std::optional<int32_t>& later) {
        if (later) code = later;
    }
};
