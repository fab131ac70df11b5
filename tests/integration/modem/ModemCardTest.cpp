#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
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
    void OnCardNote(const std::string& text) override { notes.push_back(text); }
    std::vector<int32_t> Take() {
        std::vector<int32_t> taken;
        taken.swap(events);
        return taken;
    }
    std::vector<int32_t> events;
    std::vector<std::string> notes;
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
        {"crsm-status 152 4\n", {}, {"error 10304"}},
        {"crsm-status 159 16\nspn-gsm C\n", {}, {"C"}},
        // The modem's own numbers never reach the plug-in, where they would read as server codes.
        {"results AT+CRSM 3\nresults AT+CIMI 258\n", {"error 10300"}, {"error 10300"}},
        {"pin sim-pin\n", {"error 10302"}, {"error 10302"}},
        {"pin sim-puk\nverbose-errors yes\n", {"error 10303"}, {"error 10303"}},
        {"verbose-errors yes\nresults AT+CRSM 14,0\nspn-gsm CU\n", {}, {"error 14", "CU"}},
        // (Which status words and identities pass: the AT replies' unit test.)
        {"imsi 12345\n", {"error 10305"}, {}},
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
              (std::vector<std::string>{"ATE0V1", "AT+CMEE=1", "AT+CIMI", "AT+CIMI", "ATE0V1",
                                        "AT+CMEE=1", "AT+CIMI"}));
}

TEST_F(ModemCardTest, ASilentModemTimesOutEveryRead) {
    Plug("silent yes\n", std::chrono::milliseconds(200));
    EXPECT_EQ(Imsi(), "error 10003");
    EXPECT_EQ(Spn(), "error 10003");
    // Only the first initialising command goes out each time: the read's time is spent.
    EXPECT_EQ(m_modem->Commands(), (std::vector<std::string>{"ATE0V1", "ATE0V1"}));
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

TEST_F(ModemCardTest, FormsOfOtherModems) {
    // Each as a modem gives it; each must read the same card.
    const char* const forms[] = {
        "cpin-form tight\n", "cpin-form quoted\n",
        "cimi-tag yes\n",    "crsm-unquoted yes\n",
        "cr-only yes\n",     "urc-inside yes\nunsolicited ^RSSI:17\nunsolicited +CREG: 1\n",
        "numeric yes\n",     "numeric yes\ncr-only yes\n",
        "echo-stuck yes\n",  "split yes\n",
    };
    for (const char* form : forms) {
        SCOPED_TRACE(form);
        Plug(std::string("imsi 460001111111111\nspn-gsm CMCC\n") + form);
        EXPECT_EQ(Imsi(), "460001111111111");
        EXPECT_EQ(Spn(), "CMCC");
        RecordingSink sink;
        m_card->Check(sink);
        EXPECT_EQ(sink.Take(), std::vector<int32_t>{50082});
    }
}

TEST_F(ModemCardTest, ALockedSimIsNoReadyCardAndIsSaidOnce) {
    Plug("pin sim-pin\n");
    RecordingSink sink;
    m_card->Check(sink);
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});
    ASSERT_EQ(sink.notes.size(), 1u);
    EXPECT_EQ(sink.notes[0].rfind("SIM PIN required: ", 0), 0u) << sink.notes[0];
    m_modem->Change([](ModemScript& s) { s.pin = "SIM PUK"; });
    m_card->Check(sink);
    ASSERT_EQ(sink.notes.size(), 2u);
    EXPECT_EQ(sink.notes[1].rfind("SIM PUK required: ", 0), 0u) << sink.notes[1];
    m_modem->Change([](ModemScript& s) { s.pin = "READY"; });
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50082});
    // Locked again, as after a reset: the card went.
    m_modem->Change([](ModemScript& s) { s.pin = "SIM PIN"; });
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50083});
    EXPECT_EQ(sink.notes.size(), 3u);
}

TEST_F(ModemCardTest, OnlyFailuresInARowReadAsACardGone) {
    // Unanswered, busy or refused checks: the third in a row gives 50083, fewer give nothing.
    Plug("results AT+CPIN 0,-1,0,14,-1,0,-1,14,-1\n", std::chrono::seconds(1));
    RecordingSink sink;
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50082});
    for (int i = 0; i < 7; ++i) m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{50083});
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});
}

// A listener that takes its time over the first event, as the plug-in does while it reads the
// card again and again.
class SlowSink : public DeviceEventSink {
public:
    explicit SlowSink(ModemCard& card) : m_card(card) {}
    void OnDeviceEvent(int32_t code) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_events.push_back(code);
        m_changed.notify_all();
        if (m_events.size() > 1) return;
        lock.unlock();
        // Reads until the card gives something other than a time-out.
        char spn[MTS_SPN_BUFFER_SIZE];
        int32_t error = modem_error::kNoAnswer;
        bool bRead = false;
        while (!bRead && error == modem_error::kNoAnswer)
            bRead = m_card.ReadSpn(spn, sizeof spn, error);
        lock.lock();
        m_lastError = bRead ? 0 : error;
        m_bDone = true;
        m_changed.notify_all();
    }
    // Waits for the listener's reads to end.
    bool WaitDone() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_bDone; });
    }
    bool WaitEvents(size_t n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20),
                                  [&] { return m_events.size() >= n; });
    }
    std::vector<int32_t> Events() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    int32_t LastError() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastError;
    }

private:
    ModemCard& m_card;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int32_t> m_events;
    int32_t m_lastError = 0;
    bool m_bDone = false;
};

TEST_F(ModemCardTest, ASlowListenerHoldsUpNoCheck) {
    Plug("results AT+CRSM -1\nspn-gsm CMCC\n", std::chrono::milliseconds(300));
    SlowSink sink(*m_card);
    m_card->Start(sink);
    ASSERT_TRUE(sink.WaitEvents(1));
    // The checks go on while the listener is busy.
    const size_t checks = m_modem->Count("AT+CPIN?");
    EXPECT_TRUE(m_modem->WaitFor("AT+CPIN?", checks + 2, 20000));
    m_modem->Change([](ModemScript& s) { s.results.clear(); });
    ASSERT_TRUE(sink.WaitDone());
    EXPECT_EQ(sink.LastError(), 0);
    m_modem->Unplug();
    EXPECT_TRUE(sink.WaitEvents(2)) << "the card's going was not delivered";
    m_card->Stop();
    EXPECT_EQ(sink.Events(), (std::vector<int32_t>{50082, 50083}));
}

TEST_F(ModemCardTest, CancelEndsASlowListenersReads) {
    Plug("results AT+CRSM -1\n", std::chrono::milliseconds(300));
    SlowSink sink(*m_card);
    m_card->Start(sink);
    ASSERT_TRUE(sink.WaitEvents(1));
    m_card->Cancel();
    m_card->Stop();
    EXPECT_EQ(sink.LastError(), modem_error::kStopping);
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

TEST_F(ModemCardTest, APortInExclusiveUseIsRefusedEvenToRoot) {
    // As the system's modem service holds a port: exclusive mode, no lock. Root could open it
    // all the same and talk over it.
    Plug("");
    const int fd = open(m_modem->Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open(m_modem->Path(), 115200, error));
    EXPECT_NE(error.find("held by another program"), std::string::npos) << error;
    ioctl(fd, TIOCNXCL);
    close(fd);
    EXPECT_TRUE(port.Open(m_modem->Path(), 115200, error)) << error;
    // Closed, it leaves the terminal as it found it: open to the next program.
    port.Close();
    SerialPort next;
    EXPECT_TRUE(next.Open(m_modem->Path(), 115200, error)) << error;
}

}  // namespace
