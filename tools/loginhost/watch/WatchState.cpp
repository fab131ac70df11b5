#include "WatchState.h"

#include "LoginStates.h"
#include "WatchLines.h"

namespace {

bool IsDeviceError(int32_t code) {
    return code == DEVICE_ERROR_SIM_BUSY || code == DEVICE_ERROR_SPN_NOT_FOUND ||
           code == DEVICE_ERROR_TIMEOUT || (code >= DEVICE_ERROR_DEVICE && code <= 10399);
}

bool IsConnectionError(int32_t code) {
    return code >= 12000 && code <= 12999;
}

std::string Meaning(int32_t code) {
    const std::string text = LoginStateText(code);
    return "state " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

}  // namespace

bool IsServerRefusal(int32_t code) {
    return code > 0 && code != LOGIN_STATE_PROXY_CREDENTIALS && !IsDeviceError(code) &&
           !IsConnectionError(code);
}

std::string WatchStateWord(const WatchFacts& f) {
    if (!f.bModemSeen) return "starting";
    switch (f.modem.status) {
        case ModemStatus::kNoService:
        case ModemStatus::kNoModem:
            return "no-modem";
        case ModemStatus::kNoSim:
            return "no-sim";
        case ModemStatus::kSimNotReady:
            if (f.modem.unlockRequired > kModemLockNone) return "locked";
            return f.modem.modemState == kModemStateDisabled ? "disabled" : "not-ready";
        case ModemStatus::kReady:
            break;
    }
    if (f.bLoggedIn) return "signed-in";
    if (f.bHeld || f.bNoSpn) return "held";
    if (f.bLogining || f.nState == LOGIN_STATE_OK) return "signing-in";
    if (f.nState == LOGIN_STATE_PROXY_CREDENTIALS) return "proxy-credentials";
    if (f.nState == LOGIN_INET_PROXY_REFUSED) return "proxy-refused";
    return IsServerRefusal(f.nState) ? "refused" : "failed";
}

std::string ShortIdentity(const std::string& imsi) {
    return imsi.size() > 4 ? "\xE2\x80\xA6" + imsi.substr(imsi.size() - 4) : imsi;  // …7890
}

WatchNotice WatchNoticeFor(const WatchFacts& f, const std::string& profileDir) {
    const std::string word = WatchStateWord(f);
    if (word == "locked") {
        const bool bPuk = f.modem.unlockRequired == kModemLockSimPuk;
        if (!bPuk && f.modem.unlockRequired != kModemLockSimPin) {
            return {"locked", "network-cellular-offline", "Modem locked", DescribeSim(f.modem)};
        }
        return {bPuk ? "locked-puk" : "locked-pin", "network-cellular-offline",
                bPuk ? "SIM PUK required" : "SIM PIN required", DescribeSim(f.modem)};
    }
    if (word == "disabled") {
        return {"disabled", "network-cellular-hardware-disabled", "Mobile broadband is off",
                DescribeSim(f.modem)};
    }
    if (word == "held" && f.bNoSpn) {
        return {"no-spn", "network-cellular-no-route", "No operator name for this SIM",
                DescribeNoSpn(f.modem.operatorId) + " (" + profileDir + ")"};
    }
    if (word == "refused") {
        return {"refused " + std::to_string(f.nState), "network-cellular-no-route",
                "The server refused the login",
                Meaning(f.nState) + "; the plug-in tries again by itself"};
    }
    if (word == "proxy-credentials") {
        return {"proxy", "network-cellular-no-route", "The proxy needs a user and password",
                Meaning(f.nState) + ": give them with loginhost settings --profile " + profileDir};
    }
    if (word == "proxy-refused") {
        return {"proxy-refused", "network-cellular-no-route", "The proxy refused the connection",
                Meaning(f.nState) + ": check the proxy with loginhost settings --profile " +
                    profileDir};
    }
    if (word == "signed-in") {
        const std::string spn = f.modem.spn.empty() ? "" : " (" + f.modem.spn + ")";
        return {"signed-in", "network-cellular-connected", "Signed in",
                "SIM " + ShortIdentity(f.modem.imsi) + spn + " is signed in"};
    }
    return {};
}
