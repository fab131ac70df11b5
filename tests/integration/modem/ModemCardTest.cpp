#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ICheckDeviceType.h"
#include "ModemCard.h"
#include "ModemSimulator.h"
#include "TempDir.h"

namespace {

class RecordingSink : public DeviceEventSink {
public:
    void OnDeviceEvent(int32_t code) override { events.push_back(code); }
    std::vector<int32_t> Take() {
        std::vector<int32_t> taken;
        taken.swap(events);
        return taken;
    }
    std::vector<int32_t> events;
};

class ModemCardTest : public ::testing::Test {
protected:
    // A simulated modem behind a link, and the host's card on it.
    void Plug(const std::string& script,
              std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        ModemScript s;
        std::string error;
        ASSERT_TRUE(s.Parse(script, error)) << error;
        m_modem = std::make_unique<ModemSimulator>(s, m_dir.File("ttyModem"));
        ASSERT_TRUE(m_modem->Plug(error)) << error;
        ModemOptions options;
        options.port = m_modem->Path();
        options.timeout = timeout;
        m_card = std::make_unique<ModemCard>(options);
    }

    std::string Imsi() {
        char buf[MTS_IMSI_BUFFER_SIZE] = {};
        int32_t error = 0;
        return m_card->ReadImsi(buf, sizeof buf, error) ? buf : "error " + std::to_string(error);
    }
    std::string Spn() {
        char buf[MTS_SPN_BUFFER_SIZE] = {};
        int32_t error = 0;
        return m_card->ReadSpn(buf, sizeof buf, error) ? buf : "error " + std::to_string(error);
    }

    TempDir m_dir;  // the link's; the card and the modem go first
    std::unique_ptr<ModemSimulator> m_modem;
    std::unique_ptr<ModemCard> m_card;
};

TEST_F(ModemCardTest, ReadsAndDeviceErrors) {
    struct Case {
        const char* script;
        std::vector<std::string> imsi;  // successive reads
        std::vector<std::string> spn;
    };
    const Case cases[] = {
        {"imsi 460001234567890\nspn-gsm CMCC\n", {"460001234567890"}, {"CMCC"}},
        {"spn-ucs2 \xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8\n",
         {"460001234567890"},
         {"\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF"}},
        {"spn-hex 00 00 02 11 43 1B 65\nunsolicited ^RSSI:17\nunsolicited +CREG: 1\n"
         "unsolicited RING\n",
         {"460001234567890"},
         {std::string("@$_C\x80", 5)}},
        {"sim no\n", {"error 10301"}, {"error 10301"}},
        {"results AT+CRSM 14,14,0\nresults AT+CIMI 14,0\nspn-gsm CU\n",
         {"error 14", "460001234567890"},
         {"error 14", "error 14", "CU"}},
        {"crsm-status 106 130\n", {}, {"error 22"}},
        {"crsm-status 148 4\n", {}, {"error 22"}},
        {"crsm-status 152 4\n", {}, {"error 13"}},
        {"results AT+CRSM 3\nresults AT+CIMI 258\n", {"error 258"}, {"error 3"}},
        {"imsi 12345\n", {"error 100"}, {}},
        {"imsi 4600012345678901\n", {"error 100"}, {}},
        {"imsi 46000123456789A\n", {"error 100"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        Plug(c.script);
        for (const std::string& want : c.imsi) EXPECT_EQ(Imsi(), want);
        for (const std::string& want : c.spn) EXPECT_EQ(Spn(), want);
    }
}

TEST_F(ModemCardTest, InitialisesOnceAndAfterSilence) {
    // The answered reads must fit in the limit on a loaded machine too.
    Plug("results AT+CIMI 0,-1,0\n", std::chrono::seconds(1));
    EXPECT_EQ(Imsi(), "460001234567890");
    EXPECT_EQ(Imsi(), "error 10003");  // this one is never answered
    EXPECT_EQ(Imsi(), "460001234567890");
    EXPECT_EQ(m_modem->Commands(),
              (std::vector<std::string>{"ATE0", "AT+CMEE=1", "AT+CIMI", "AT+CIMI", "ATE0",
                                        "AT+CMEE=1", "AT+CIMI"}));
}

TEST_F(ModemCardTest, ASilentModemTimesOutEveryRead) {
    Plug("silent yes\n", std::chrono::milliseconds(200));
    EXPECT_EQ(Imsi(), "error 10003");
    EXPECT_EQ(Spn(), "error 10003");
    // Only the first initialising command goes out each time: the read's time is spent.
    EXPECT_EQ(m_modem->Commands(), (std::vector<std::string>{"ATE0", "ATE0"}));
}

TEST_F(ModemCardTest, DeviceEventsFollowTheCard) {
    Plug("imsi 460001111111111\n");
    RecordingSink sink;
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50082});
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});

    m_modem->Unplug();
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50083});
    EXPECT_EQ(Imsi(), "error 10003");
    EXPECT_NE(m_card->OpenError().find("no such port"), std::string::npos) << m_card->OpenError();
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});

    std::string error;
    ASSERT_TRUE(m_modem->Plug(error)) << error;
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50082});
    EXPECT_EQ(Imsi(), "460001111111111");

    m_modem->Change([](ModemScript& s) { s.imsi = "460002222222222"; });
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), (std::vector<int32_t>{50083, 50082}));

    m_modem->Change([](ModemScript& s) { s.bSim = false; });
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50083});
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});
}

TEST_F(ModemCardTest, ThePortIsTakenExclusively) {
    Plug("");
    EXPECT_EQ(Imsi(), "460001234567890");
    SerialPort other;
    std::string error;
    EXPECT_FALSE(other.Open(m_modem->Path(), 115200, error));
    EXPECT_NE(error.find("held by another program"), std::string::npos) << error;
    EXPECT_FALSE(other.Open(m_modem->Path(), 12345, error));
    EXPECT_NE(error.find("unsupported speed"), std::string::npos) << error;
}

}  // namespace
