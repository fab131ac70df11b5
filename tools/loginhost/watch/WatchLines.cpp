#include "WatchLines.h"

#include <algorithm>

#include "HostReport.h"

namespace {

std::string Field(const char* name, const std::string& value) {
    return JsonString(name) + ":" + JsonString(value);
}

std::string Field(const char* name, long value) {
    return JsonString(name) + ":" + std::to_string(value);
}

std::string ModemName(const ModemSnapshot& s) {
    return (s.equipmentId.empty() ? std::string("(no equipment identifier)") : s.equipmentId) +
           " at " + s.modemPath;
}

// The SIM line of a snapshot; empty when the snapshot has no modem to speak of.
WatchLine SimLine(const ModemSnapshot& s) {
    switch (s.status) {
        case ModemStatus::kNoSim:
            return {"sim", "none in the modem (device error 10301)", Field("status", "none")};
        case ModemStatus::kSimNotReady:
            return {"sim",
                    "not ready, modem state " + std::to_string(s.modemState) + " (device error 14)",
                    Field("status", "not-ready") + "," + Field("modem_state", s.modemState)};
        case ModemStatus::kReady:
            return {
                "sim", "imsi=" + s.imsi + " spn=" + s.spn,
                Field("status", "ready") + "," + Field("imsi", s.imsi) + "," + Field("spn", s.spn)};
        default:
            return {};
    }
}

}  // namespace

std::vector<WatchLine> DescribeModemChange(const ModemSnapshot& before, const ModemSnapshot& after,
                                           bool first) {
    std::vector<WatchLine> lines;
    const bool bServiceBefore = !first && before.status != ModemStatus::kNoService;
    const bool bServiceAfter = after.status != ModemStatus::kNoService;
    if (!bServiceAfter && (first || bServiceBefore)) {
        lines.push_back({"modem", "service not running (device error 10003); waiting for it",
                         Field("state", "no-service")});
    }
    if (bServiceAfter && !first && !bServiceBefore) {
        lines.push_back({"modem", "service running", Field("state", "service")});
    }
    if (!first && !before.modemPath.empty() && before.modemPath != after.modemPath) {
        // A modem that is still there was set aside for one with a SIM (or the one asked for).
        const bool bThere = std::find(after.modems.begin(), after.modems.end(), before.modemPath) !=
                            after.modems.end();
        const char* state = bThere ? "set-aside" : "gone";
        lines.push_back({"modem", (bThere ? "set aside " : "gone ") + ModemName(before),
                         Field("state", state) + "," + Field("id", before.equipmentId) + "," +
                             Field("path", before.modemPath)});
    }
    if (!after.modemPath.empty() && (first || before.modemPath != after.modemPath)) {
        lines.push_back({"modem", "found " + ModemName(after),
                         Field("state", "found") + "," + Field("id", after.equipmentId) + "," +
                             Field("path", after.modemPath)});
    }
    if (after.status == ModemStatus::kNoModem && (first || before.status != after.status)) {
        lines.push_back(
            {"modem", "none (device error 10301); waiting for one", Field("state", "none")});
    }
    const WatchLine sim = SimLine(after);
    const WatchLine simBefore = first ? WatchLine{} : SimLine(before);
    if (!sim.text.empty() && (sim.text != simBefore.text || before.modemPath != after.modemPath)) {
        lines.push_back(sim);
    }
    return lines;
}

std::vector<WatchLine> DescribeNetworkChange(const NetworkSnapshot& before,
                                             const NetworkSnapshot& after, bool first) {
    if (!first && before.Describe() == after.Describe() &&
        before.CheckResult() == after.CheckResult()) {
        return {};
    }
    if (!after.bService) {
        if (!first && !before.bService) return {};
        return {{"network", "service not running; waiting for it (the login waits too)",
                 Field("state", "no-service") + "," + Field("check", -1)}};
    }
    const int32_t state = after.ConnectState();
    const int32_t check = after.CheckResult();
    return {{"network",
             after.Describe() + ", " + (check == 0 ? "connectivity" : "no connectivity") +
                 " (connect state " + std::to_string(state) + ", check " + std::to_string(check) +
                 ")",
             Field("state", after.Describe()) + "," + Field("connect_state", state) + "," +
                 Field("check", check)}};
}
