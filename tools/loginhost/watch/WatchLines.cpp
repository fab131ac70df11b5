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

// The service's modem states by name.
std::string StateName(int32_t state) {
    static const char* const kNames[] = {"initializing",  "locked",     "disabled",  "disabling",
                                         "enabling",      "enabled",    "searching", "registered",
                                         "disconnecting", "connecting", "connected"};
    if (state == -1) return "failed";
    if (state >= 1 && state <= 11) return kNames[state - 1];
    return "state " + std::to_string(state);
}

// The number mmcli takes for a SIM: the last part of its object path.
std::string SimNumber(const std::string& simPath) {
    const size_t slash = simPath.rfind('/');
    return slash == std::string::npos ? simPath : simPath.substr(slash + 1);
}

// Why a SIM that is there is not ready, and what to do about it.
std::string NotReady(const ModemSnapshot& s) {
    const std::string n = SimNumber(s.simPath);
    if (s.unlockRequired == kModemLockSimPin) {
        return "SIM PIN required: unlock it in the desktop's prompt or with mmcli -i " + n +
               " --pin=... (device error 10302)";
    }
    if (s.unlockRequired == kModemLockSimPuk) {
        return "SIM PUK required: unlock it with mmcli -i " + n +
               " --puk=... --pin=NEW (device error 10303)";
    }
    if (s.unlockRequired > kModemLockNone) {
        return "not ready, the modem is locked (lock " + std::to_string(s.unlockRequired) +
               "): unlock it with mmcli (device error 14)";
    }
    if (s.modemState == kModemStateDisabled) {
        return "not ready, modem disabled (the desktop's mobile-broadband switch is off?) "
               "(device error 14)";
    }
    if (s.bSimUnread) {
        return "not ready, the modem service could not give the SIM object; asked again at the "
               "modem's next change (device error 14)";
    }
    return "not ready, modem " + StateName(s.modemState) + " (device error 14)";
}

// The SIM line of a snapshot; empty when the snapshot has no modem to speak of.
WatchLine SimLine(const ModemSnapshot& s) {
    switch (s.status) {
        case ModemStatus::kNoSim:
            return {"sim", "none in the modem (device error 10301)", Field("status", "none")};
        case ModemStatus::kSimNotReady:
            return {"sim", NotReady(s),
                    Field("status", "not-ready") + "," + Field("modem_state", s.modemState) + "," +
                        Field("modem_state_name", StateName(s.modemState)) + "," +
                        Field("unlock_required", static_cast<long>(s.unlockRequired))};
        case ModemStatus::kReady:
            return {
                "sim", "imsi=" + s.imsi + " spn=" + s.spn,
                Field("status", "ready") + "," + Field("imsi", s.imsi) + "," + Field("spn", s.spn)};
        default:
            return {};
    }
}

}  // namespace

std::string DescribeSim(const ModemSnapshot& s) {
    return SimLine(s).text;
}

std::string DescribeNoSpn(const std::string& operatorId) {
    return "no SPN from the modem service: the SIM's name is not GSM 7-bit or it has none; name "
           "its operator " +
           operatorId + " in the profile's operators.ini, or give a name as 11004= in strings.ini";
}

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
        before.DescribeDevice() == after.DescribeDevice() &&
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
    const std::string device = after.DescribeDevice();
    return {{"network",
             after.Describe() + (device.empty() ? "" : ", data card " + device) + ", " +
                 (check == 0 ? "connectivity" : "no connectivity") + " (connect state " +
                 std::to_string(state) + ", check " + std::to_string(check) + ")",
             Field("state", after.Describe()) + "," + Field("device", device) + "," +
                 Field("connect_state", state) + "," + Field("check", check)}};
}
