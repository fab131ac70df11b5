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
        // Errors in other words end the read at once, and none reads as the time-out the
        // plug-in would ask again after.
        {"error-line MODEM ERROR: 5\nresults AT+CRSM 3\n", {"460001234567890"}, {"error 10300"}},
        {"error-line +EXT ERROR: 10\nresults AT+CRSM 3\n", {}, {"error 10300"}},
        {"error-line NA\nresults AT+CRSM 14\n", {}, {"error 10305"}},
        {"error-line NO CARRIER\nresults AT+CIMI 3\n", {"error 10305"}, {}},
        // A line the reader does not know, then quiet: an answer that is not the one asked for.
        {"error-line FAULT 17\nresults AT+CRSM 3,0\nspn-gsm CU\n", {}, {"error 10305", "CU"}},
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

TEST_F(ModemCardTest, EndingsAndSetUpOfOtherModems) {
    struct Case {
        const char* script;
        bool bReady;  // a check finds the SIM ready
        std::vector<std::string> setUp;
    };
    const std::vector<std::string> usual{"ATE0V1", "AT+CMEE=1"};
    const std::vector<std::string> apart{"ATE0V1", "ATE0", "ATV1", "AT+CMEE=1"};
    const Case cases[] = {
        // Answers without their final result, or ended by a word of the modem's own.
        {"no-final AT+CPIN\n", true, usual},
        {"no-final AT+CPIN\nno-final AT+CIMI\nno-final AT+CRSM\n", true, usual},
        {"ok-line DONE\n", true, apart},
        // +CPIN? refused without the SIM's state: the IMSI settles it.
        {"results AT+CPIN 100\n", true, usual},
        {"results AT+CPIN 100\nverbose-errors yes\n", true, usual},
        {"results AT+CPIN 3\nerror-line MODEM ERROR: 3\n", true, usual},
        {"results AT+CPIN 100\nsim no\n", false, usual},
        {"results AT+CPIN 100\npin sim-pin\n", false, usual},
        // The set-up pair refused: each alone, and each refusal taken.
        {"refuse-combined yes\n", true, apart},
        {"refuse-combined yes\nnumeric yes\n", true, apart},
        {"refuse-combined yes\nresults ATE0 3\n", true, apart},
        {"refuse-combined yes\nnumeric yes\nresults ATV1 3\n", true, apart},
        {"results AT+CMEE 3\nerror-line NA\n", true, usual},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        Plug(std::string("imsi 460001111111111\nspn-gsm CMCC\n") + c.script);
        RecordingSink sink;
        m_card->Check(sink);
        EXPECT_EQ(sink.Take(), c.bReady ? std::vector<int32_t>{50082} : std::vector<int32_t>{});
        EXPECT_EQ(m_card->NotReadyWhy().empty(), c.bReady) << m_card->NotReadyWhy();
        const std::vector<std::string> commands = m_modem->Commands();
        EXPECT_EQ(
            std::vector<std::string>(commands.begin(),
                                     commands.begin() + std::min(commands.size(), c.setUp.size())),
            c.setUp);
        if (!c.bReady) continue;
        EXPECT_EQ(Imsi(), "460001111111111");
        EXPECT_EQ(Spn(), "CMCC");
    }
}

TEST_F(ModemCardTest, WhyTheCardIsNotReady) {
    const std::pair<const char*, const char*> cases[] = {
        {"pin sim-pin\n", "SIM PIN required (10302)"},
        {"pin sim-puk\n", "SIM PUK required (10303)"},
        {"sim no\n", "no SIM (10301)"},
        {"results AT+CPIN -1\n", "time-out (10003)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        Plug(c.first, std::chrono::milliseconds(500));
        EXPECT_EQ(m_card->NotReadyWhy(), "no check of the card has ended yet");
        RecordingSink sink;
        m_card->Check(sink);
        EXPECT_EQ(m_card->NotReadyWhy(), c.second);
    }
    // Gone: the first check finds it gone, the next one cannot open it.
    m_modem->Unplug();
    RecordingSink sink;
    m_card->Check(sink);
    m_card->Check(sink);
    EXPECT_NE(m_card->NotReadyWhy().find("time-out (10003): "), std::string::npos)
        << m_card->NotReadyWhy();
    EXPECT_NE(m_card->NotReadyWhy().find("no such port"), std::string::npos)
        << m_card->NotReadyWhy();
}

TEST_F(ModemCardTest, AFloodingPortIsABrokenDevice) {
    // The time-out is far beyond what the bound of a reply takes to reach.
    Plug("flood AT+CRSM\n", std::chrono::seconds(5));
    EXPECT_EQ(Imsi(), "460001234567890");
    EXPECT_EQ(Spn(), "error 10305");
    // It floods on: every read ends at the bound, and the check is unsure.
    EXPECT_EQ(Imsi(), "error 10305");
    RecordingSink sink;
    m_card->Check(sink);
    EXPECT_EQ(sink.Take(), std::vector<int32_t>{});
    EXPECT_EQ(m_card->NotReadyWhy(), "unexpected answer (10305)");
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
