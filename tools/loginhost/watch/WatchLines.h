// What `loginhost watch` prints when the modem or the network changes: one line per change, for
// people, with the same facts as JSON members for programs.
#pragma once

#include <string>
#include <vector>

#include "WatchCard.h"
#include "WatchNet.h"

struct WatchLine {
    std::string what;    // "modem", "sim", "network"
    std::string text;    // for people
    std::string fields;  // JSON members without braces
};

// The lines that tell the change from `before` to `after`; `first` for the first view, which
// says where things stand. A missing service or modem is said once, when it goes missing.
std::vector<WatchLine> DescribeModemChange(const ModemSnapshot& before, const ModemSnapshot& after,
                                           bool first);
std::vector<WatchLine> DescribeNetworkChange(const NetworkSnapshot& before,
                                             const NetworkSnapshot& after, bool first);
// The text of the SIM's line: what it is, or what it needs before it is ready; empty without one.
std::string DescribeSim(const ModemSnapshot& s);
// Why a SIM without a usable name is held, and what to put where.
std::string DescribeNoSpn(const std::string& operatorId);
