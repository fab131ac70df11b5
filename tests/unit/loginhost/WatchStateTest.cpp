// What watch tells the desktop for each view of the card and the login: the state word on the
// session bus and the notice a person is shown (the bus and the notification service themselves
// are run for real by the watch scenarios).
#include <gtest/gtest.h>

#include <string>

#include "WatchState.h"

namespace {

const std::string kImsi = "460001234567890";

WatchFacts Facts(ModemStatus status, uint32_t lock = kModemLockNone, int32_t modemState = 8) {
    WatchFacts f;
    f.bModemSeen = true;
    f.modem.status = status;
    f.modem.simPath = "/org/freedesktop/ModemManager1/SIM/1";
    f.modem.imsi = kImsi;
    f.modem.spn = "CMCC";
    f.modem.operatorId = "46000";
    f.modem.unlockRequired = lock;
    f.modem.modemState = modemState;
    return f;
}

WatchFacts Ready(int32_t state, bool bLogining = false) {
    WatchFacts f = Facts(ModemStatus::kReady);
    f.nState = state;
    f.bLogining = bLogining;
    return f;
}

TEST(WatchStateTest, WordAndNoticeForEachView) {
    WatchFacts unseen;
    WatchFacts loggedIn = Ready(0);
    loggedIn.bLoggedIn = true;
    WatchFacts held = Ready(0);
    held.bHeld = true;
    WatchFacts noSpn = Ready(-3);
    noSpn.bNoSpn = true;
    const struct {
        const char* name;
        WatchFacts facts;
        const char* word;
        const char* notice;  // its key; "" for none
    } cases[] = {
        {"before the modem service is asked", unseen, "starting", ""},
        {"no modem service", Facts(ModemStatus::kNoService), "no-modem", ""},
        {"no modem", Facts(ModemStatus::kNoModem), "no-modem", ""},
        {"no SIM", Facts(ModemStatus::kNoSim), "no-sim", ""},
        {"PIN", Facts(ModemStatus::kSimNotReady, kModemLockSimPin, 2), "locked", "locked-pin"},
        {"PUK", Facts(ModemStatus::kSimNotReady, kModemLockSimPuk, 2), "locked", "locked-puk"},
        {"another lock", Facts(ModemStatus::kSimNotReady, 8, 2), "locked", "locked"},
        {"disabled", Facts(ModemStatus::kSimNotReady, kModemLockNone, 3), "disabled", "disabled"},
        {"enabling", Facts(ModemStatus::kSimNotReady, kModemLockNone, 5), "not-ready", ""},
        {"signed in", loggedIn, "signed-in", "signed-in"},
        {"held by the network", held, "held", ""},
        {"no name for the SIM", noSpn, "held", "no-spn"},
        {"not yet tried", Ready(0), "signing-in", ""},
        {"a retry after a refusal runs", Ready(3, true), "signing-in", ""},
        {"wrong password", Ready(3), "refused", "refused 3"},
        {"a code of the server's own", Ready(7), "refused", "refused 7"},
        {"proxy credentials", Ready(5), "proxy-credentials", "proxy"},
        {"the proxy refused the tunnel", Ready(12033), "proxy-refused", "proxy-refused"},
        {"cannot connect", Ready(12029), "failed", ""},
        {"a card error with the card ready", Ready(10302), "failed", ""},
        {"SIM busy", Ready(14), "failed", ""},
        {"no SIM type", Ready(-3), "failed", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WatchStateWord(c.facts), c.word) << c.name;
        EXPECT_EQ(WatchNoticeFor(c.facts, "/p").key, c.notice) << c.name;
    }
}

TEST(WatchStateTest, NoticesSayWhatToDoWithoutTheIdentity) {
    WatchFacts loggedIn = Ready(0);
    loggedIn.bLoggedIn = true;
    WatchFacts noSpn = Ready(-3);
    noSpn.bNoSpn = true;
    const struct {
        WatchFacts facts;
        const char* says;
    } cases[] = {
        {Facts(ModemStatus::kSimNotReady, kModemLockSimPin, 2), "--pin="},
        {Facts(ModemStatus::kSimNotReady, kModemLockSimPuk, 2), "--puk="},
        {Facts(ModemStatus::kSimNotReady, kModemLockNone, 3), "mobile-broadband switch"},
        {noSpn, "name its operator 46000 in the profile's operators.ini"},
        {Ready(3), "state 3 (server: wrong password)"},
        {Ready(7), "state 7 ("},
        {Ready(5), "loginhost settings --profile /p"},
        {loggedIn,
         "\xE2\x80\xA6"
         "7890 (CMCC)"},
    };
    for (const auto& c : cases) {
        const WatchNotice notice = WatchNoticeFor(c.facts, "/p");
        EXPECT_NE(notice.body.find(c.says), std::string::npos) << notice.body;
        EXPECT_EQ(notice.body.find(kImsi), std::string::npos) << notice.body;
        EXPECT_EQ(notice.icon.rfind("network-cellular-", 0), 0u) << notice.icon;
        EXPECT_FALSE(notice.summary.empty());
    }
}

}  // namespace
