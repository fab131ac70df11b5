// loginhost watch without a bus: what the card and the network answer the plug-in for each view
// of the services, and which device events a change makes. (The bus side, and the lines watch
// prints, are run for real by the watch scenarios.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ICheckDeviceType.h"
#include "WatchCard.h"
#include "WatchNet.h"

namespace {

ModemSnapshot Card(ModemStatus status, const std::string& imsi = "",
                   const std::string& sim = "/org/freedesktop/ModemManager1/SIM/1",
                   const std::string& modem = "/org/freedesktop/ModemManager1/Modem/1") {
    ModemSnapshot s;
    s.status = status;
    if (status == ModemStatus::kNoService) return s;
    s.modems = {modem};
    if (status == ModemStatus::kNoModem) return s;
    s.modemPath = modem;
    s.equipmentId = "356938035643809";
    s.modemState = status == ModemStatus::kReady ? 8 : 2;
    if (status == ModemStatus::kNoSim) return s;
    s.simPath = sim;
    s.imsi = imsi;
    s.spn = imsi.empty() ? "" : "CMCC";
    return s;
}

const std::string kImsiA = "460001234567890";
const std::string kImsiB = "460009876543210";

ModemSnapshot Locked(uint32_t lock) {
    ModemSnapshot s = Card(ModemStatus::kSimNotReady, kImsiA);
    s.unlockRequired = lock;
    return s;
}

// Reads the card inside the event, as the plug-in does (ReGetATIMSI on 50082 and 50083).
class ReadingSink : public DeviceEventSink {
public:
    explicit ReadingSink(WatchCard& card) : m_card(card) {}
    void OnDeviceEvent(int32_t code) override {
        char imsi[18] = {};
        int32_t error = 0;
        m_card.ReadImsi(imsi, sizeof imsi, error);
        seen.push_back(std::to_string(code) + ":" + (error ? std::to_string(error) : imsi));
    }
    std::vector<std::string> seen;

private:
    WatchCard& m_card;
};

TEST(WatchCardTest, ReadsAnswerWhatTheServiceSays) {
    const struct {
        ModemSnapshot snapshot;
        int32_t error;  // of both reads
    } cases[] = {
        {Card(ModemStatus::kNoService), 10003},
        {Card(ModemStatus::kNoModem), 10301},
        {Card(ModemStatus::kNoSim), 10301},
        {Card(ModemStatus::kSimNotReady, kImsiA), 14},
        {Card(ModemStatus::kReady, kImsiA), 0},
        // A locked SIM is no busy one the plug-in should retry.
        {Locked(kModemLockSimPin), 10302},
        {Locked(kModemLockSimPuk), 10303},
        {Locked(kModemLockNone), 14},
    };
    for (const auto& c : cases) {
        WatchCard card;
        card.Update(c.snapshot);
        char buf[32] = "junk";
        int32_t error = -7;
        EXPECT_EQ(card.ReadImsi(buf, sizeof buf, error), c.error == 0);
        EXPECT_EQ(error, c.error);
        if (c.error == 0) {
            EXPECT_EQ(std::string(buf), kImsiA);
        }
        error = -7;
        EXPECT_EQ(card.ReadSpn(buf, sizeof buf, error), c.error == 0);
        EXPECT_EQ(error, c.error);
    }
}

TEST(WatchCardTest, SpnIsGbkCutToTheBufferAndMissingIsError22) {
    WatchCard card;
    ModemSnapshot ready = Card(ModemStatus::kReady, kImsiA);
    ready.spn = "\xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8";  // UTF-8 on the bus
    card.Update(ready);
    char buf[8];
    int32_t error = 0;
    // GBK cut between characters: three of them in 7 bytes, never half of the fourth.
    ASSERT_TRUE(card.ReadSpn(buf, sizeof buf, error));
    EXPECT_EQ(std::string(buf), "\xD6\xD0\xB9\xFA\xD2\xC6");
    // (Letters GBK lacks: the SPN conversion's unit test.)
    char imsi[6];
    ASSERT_TRUE(card.ReadImsi(imsi, sizeof imsi, error));
    EXPECT_EQ(std::string(imsi), "46000");

    ready.spn.clear();
    card.Update(ready);
    EXPECT_FALSE(card.ReadSpn(buf, sizeof buf, error));
    EXPECT_EQ(error, 22);

    // No name from the service: the host's fallback name stands in (the plug-in takes it for an
    // empty one); without one, the reader is told why the read fails.
    int told = 0;
    WatchCard withFallback(true, [&told] { ++told; });
    withFallback.Update(ready);
    ASSERT_TRUE(withFallback.ReadSpn(buf, sizeof buf, error));
    EXPECT_EQ(std::string(buf), "");
    // The operator table names it by its MCC and MNC first.
    ModemSnapshot china = ready;
    china.operatorId = "46000";
    WatchCard withTable(true, [&told] { ++told; }, {{"46000", "\xE4\xB8\xAD\xE5\x9B\xBD"}});
    withTable.Update(china);
    ASSERT_TRUE(withTable.ReadSpn(buf, sizeof buf, error));
    EXPECT_EQ(std::string(buf), "\xD6\xD0\xB9\xFA");
    WatchCard without(false, [&told] { ++told; });
    without.Update(ready);
    EXPECT_FALSE(without.ReadSpn(buf, sizeof buf, error));
    EXPECT_EQ(error, 22);
    EXPECT_EQ(told, 1);
}

TEST(WatchCardTest, EventsFollowTheReadyCard) {
    const ModemSnapshot none = Card(ModemStatus::kNoModem);
    const ModemSnapshot busy = Card(ModemStatus::kSimNotReady, kImsiA);
    const ModemSnapshot a = Card(ModemStatus::kReady, kImsiA);
    const ModemSnapshot b =
        Card(ModemStatus::kReady, kImsiB, "/org/freedesktop/ModemManager1/SIM/2");
    const ModemSnapshot aOtherModem =
        Card(ModemStatus::kReady, kImsiA, "/org/freedesktop/ModemManager1/SIM/1",
             "/org/freedesktop/ModemManager1/Modem/2");
    ModemSnapshot aRenamed = a;
    aRenamed.spn = "CMCC2";
    const std::vector<int32_t> kNothing, kReady{50082}, kGone{50083}, kSwap{50083, 50082};
    const struct {
        const ModemSnapshot& before;
        const ModemSnapshot& after;
        const std::vector<int32_t>& events;
    } cases[] = {
        {none, a, kReady},
        {busy, a, kReady},
        {a, none, kGone},
        {a, busy, kGone},
        {a, b, kSwap},
        {b, a, kSwap},
        {a, aOtherModem, kSwap},
        {a, aRenamed, kNothing},
        {a, a, kNothing},
        {none, busy, kNothing},
        {Card(ModemStatus::kNoService), none, kNothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceEventsBetween(c.before, c.after), c.events)
            << c.before.imsi << "/" << c.before.modemPath << " -> " << c.after.imsi << "/"
            << c.after.modemPath;
    }
}

TEST(WatchCardTest, TheListenerReadsTheNewCardAndHearsOnlyWhileStarted) {
    WatchCard card;
    ReadingSink sink(card);
    card.Update(Card(ModemStatus::kReady, kImsiA));  // before Start: announced by Start
    card.Start(sink);
    card.Update(Card(ModemStatus::kReady, kImsiB, "/org/freedesktop/ModemManager1/SIM/2"));
    card.Update(Card(ModemStatus::kNoService));
    card.Stop();
    card.Update(Card(ModemStatus::kReady, kImsiA));
    EXPECT_EQ(sink.seen, (std::vector<std::string>{"50082:" + kImsiA, "50083:" + kImsiB,
                                                   "50082:" + kImsiB, "50083:10003"}));
}

TEST(WatchNetTest, TheServiceStateHoldsTheLoginBack) {
    const struct {
        bool bService;
        uint32_t state;
        uint32_t connectivity;
        int32_t connectState;
        int32_t check;
    } cases[] = {
        {false, 0, 0, 0, -1},  // no service: no connectivity known
        {true, 20, 1, 0, -1},  // disconnected
        {true, 40, 1, 2, -1},  // connecting: the worker waits on 2
        {true, 30, 4, 3, 0},   // disconnecting: 3
        {true, 70, 1, 1, -1},  // connected, connectivity none
        {true, 70, 2, 1, 0},   // behind a portal: the operator's servers answer there
        {true, 70, 4, 1, 0},   // full
        {true, 70, 0, 1, 0},   // connectivity not checked: the global state says it
        {true, 50, 0, 1, -1},  // local only, not checked
    };
    for (const auto& c : cases) {
        std::vector<std::string> asked;
        WatchNet net([&asked](const char* what, int32_t answer) {
            asked.push_back(std::string(what) + "=" + std::to_string(answer));
        });
        NetworkSnapshot s;
        s.bService = c.bService;
        s.state = c.state;
        s.connectivity = c.connectivity;
        net.Update(s);
        EXPECT_EQ(net.Connect().GetConnectState(), c.connectState)
            << c.state << "/" << c.connectivity;
        EXPECT_EQ(net.Check().CheckConnection(), c.check) << c.state << "/" << c.connectivity;
        EXPECT_EQ(asked,
                  (std::vector<std::string>{"GetConnectState=" + std::to_string(c.connectState),
                                            "CheckConnection=" + std::to_string(c.check)}));
    }
}

// The modem's own device decides the connect state: another link being up says nothing of it.
TEST(WatchNetTest, TheModemDeviceStateIsTheCardsConnectState) {
    const struct {
        uint32_t deviceState;
        int32_t connectState;
    } cases[] = {
        {30, 0}, {40, 2}, {70, 2}, {90, 2}, {100, 1}, {110, 3}, {120, 0}, {20, 0},
    };
    for (const auto& c : cases) {
        NetworkSnapshot s;
        s.bService = true;
        s.state = 70;  // connected (over another link)
        s.connectivity = 4;
        s.bModemDevice = true;
        s.deviceState = c.deviceState;
        EXPECT_EQ(s.ConnectState(), c.connectState) << c.deviceState;
        EXPECT_EQ(s.CheckResult(), 0) << c.deviceState;
    }
}

}  // namespace
