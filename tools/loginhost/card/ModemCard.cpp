#include "ModemCard.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "AtReplies.h"
#include "LoginStates.h"
#include "SimSpn.h"

namespace {

// EF_SPN in the SIM's file system, read whole: display condition and 16 name bytes.
const char kReadSpn[] = "AT+CRSM=176,28486,0,0,17";

bool HexBytes(const std::string& hex, std::vector<uint8_t>& bytes) {
    if (hex.size() % 2) return false;
    auto value = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

void Fill(const std::string& text, char* buf, size_t size) {
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

// What a locked SIM needs, for the line that says why no card event comes.
std::string LockNote(int32_t code, const std::string& state) {
    const std::string what = code == modem_error::kSimPuk   ? "SIM PUK required"
                             : code == modem_error::kSimPin ? "SIM PIN required"
                                                            : "the modem is locked (" + state + ")";
    return what + ": no card-ready event until it is unlocked (AT+CPIN=\"...\" on the port, or " +
           "the modem's own program)";
}

// A line as a modem's AT port writes it: printable text, and no GPS sentence.
bool IsModemText(const std::string& line) {
    return line[0] != '$' &&
           std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

int32_t DeviceErrorOf(const AtReply& reply) {
    switch (reply.final) {
        case AtReply::Final::kCmeError:
            switch (reply.cme) {
                case 10:
                    return modem_error::kNoSim;
                case 11:
                    return modem_error::kSimPin;
                case 12:
                    return modem_error::kSimPuk;
                case 13:
                    return modem_error::kSimFailure;
                case 14:
                    return modem_error::kSimBusy;
                default:
                    return modem_error::kDeviceError;
            }
        case AtReply::Final::kNoAnswer:
        case AtReply::Final::kGone:
            return modem_error::kNoAnswer;
        case AtReply::Final::kCancelled:
            return modem_error::kStopping;
        case AtReply::Final::kError:
        case AtReply::Final::kOk:
        case AtReply::Final::kAnswered:
        case AtReply::Final::kFlooded:
            break;
    }
    return modem_error::kBadAnswer;
}

bool Heard(const AtReply& reply) {
    return reply.final == AtReply::Final::kOk || reply.final == AtReply::Final::kAnswered ||
           reply.final == AtReply::Final::kError || reply.final == AtReply::Final::kCmeError;
}

bool ProbeAtPort(const std::string& port, uint32_t baud, std::chrono::milliseconds limit,
                 std::string& why) {
    SerialPort serial;
    if (!serial.Open(port, baud, why)) return false;
    // A modem just plugged in may miss the first: ask again until the limit.
    constexpr int kTries = 3;
    const auto end = AtChannel::Clock::now() + limit;
    for (int i = 1; i <= kTries; ++i) {
        const auto deadline =
            AtChannel::Clock::now() + (end - AtChannel::Clock::now()) / (kTries - i + 1);
        const AtReply reply = AtChannel(serial).Command("AT", deadline);
        if (reply.final == AtReply::Final::kGone) {
            why = port + ": gone while asked AT";
            return false;
        }
        // Any final result is an answer: a port that says ERROR is an AT port all the same; so
        // are lines of text that a modem ends with a word of its own. A GPS port streams its
        // "$GP..." sentences unasked, a diagnostics port answers nothing readable.
        if (reply.final == AtReply::Final::kOk || reply.final == AtReply::Final::kError ||
            reply.final == AtReply::Final::kCmeError ||
            (reply.final == AtReply::Final::kAnswered &&
             std::all_of(reply.lines.begin(), reply.lines.end(), IsModemText))) {
            return true;
        }
    }
    why = port + ": no answer to AT (not the AT port?)";
    return false;
}

ModemCard::ModemCard(ModemOptions options) : m_options(std::move(options)) {}

ModemCard::PortLock::PortLock(ModemCard& card, Clock::time_point deadline) : m_card(card) {
    std::unique_lock<std::mutex> lock(card.m_portMutex);
    // First come, first served: a reader that asks again and again must not shut out the checks.
    const uint64_t ticket = card.m_nNextTicket++;
    card.m_waiting.push_back(ticket);
    m_bHeld = card.m_portFree.wait_until(lock, deadline, [&card, ticket] {
        return !card.m_bPortBusy && card.m_waiting.front() == ticket;
    });
    card.m_waiting.erase(std::find(card.m_waiting.begin(), card.m_waiting.end(), ticket));
    if (m_bHeld) {
        card.m_bPortBusy = true;
    } else {
        lock.unlock();
        card.m_portFree.notify_all();  // the one behind may be first now
    }
}

ModemCard::PortLock::~PortLock() {
    if (!m_bHeld) return;
    {
        std::lock_guard<std::mutex> lock(m_card.m_portMutex);
        m_card.m_bPortBusy = false;
    }
    m_card.m_portFree.notify_all();
}

ModemCard::~ModemCard() {
    ModemCard::Stop();
}

AtReply ModemCard::Command(const std::string& command, Clock::time_point deadline) {
    AtReply reply = AtChannel(m_port, &m_bCancel, m_options.limits).Command(command, deadline);
    if (reply.final == AtReply::Final::kGone) {
        // Unplugged: the next use opens the port afresh.
        m_port.Close();
        m_bInitialised = false;
    } else if (reply.final == AtReply::Final::kNoAnswer ||
               reply.final == AtReply::Final::kCancelled ||
               reply.final == AtReply::Final::kFlooded) {
        // Its echo and error settings are unknown after silence or a flood.
        m_bInitialised = false;
    }
    if (reply.final == AtReply::Final::kFlooded && !m_bFloodNoted) {
        m_bFloodNoted = true;
        Note("the port sent more than " + std::to_string(m_options.limits.maxLines) + " lines or " +
             std::to_string(m_options.limits.maxBytes / 1024) +
             " KiB for one command: a broken device (" + std::to_string(modem_error::kBadAnswer) +
             ") until it answers again");
    } else if (Heard(reply)) {
        m_bFloodNoted = false;
    }
    return reply;
}

bool ModemCard::Ready(Clock::time_point deadline, int32_t& error) {
    if (!m_port.IsOpen()) {
        std::string why;
        m_bInitialised = false;
        if (!m_port.Open(m_options.port, m_options.baud, why)) {
            std::lock_guard<std::mutex> lock(m_errorMutex);
            m_strLastOpenError = why;
            error = modem_error::kNoAnswer;
            return false;
        }
        std::lock_guard<std::mutex> lock(m_errorMutex);
        m_strLastOpenError.clear();
    }
    if (m_bInitialised) return true;
    // No echo and word results (a modem left in numeric mode answers 0), then numbered device
    // errors. A modem that refuses the pair is asked for each alone, and whatever it answers is
    // taken: the reader understands echo, numeric results and named or plain errors all the
    // same, so only silence stops the set-up.
    AtReply last = Command("ATE0V1", deadline);
    if (Heard(last) && last.final != AtReply::Final::kOk) {
        last = Command("ATE0", deadline);
        if (Heard(last)) last = Command("ATV1", deadline);
    }
    if (Heard(last)) last = Command("AT+CMEE=1", deadline);
    if (!Heard(last)) {
        error = DeviceErrorOf(last);
        return false;
    }
    m_bInitialised = true;
    return true;
}

bool ModemCard::Ask(const char* command, Clock::time_point deadline, AtReply& reply,
                    int32_t& error) {
    if (!Ready(deadline, error)) return false;
    reply = Command(command, deadline);
    // Answer lines without a final result are looked at all the same: the caller finds its
    // answer in them or says the device answered what it should not.
    if (reply.final == AtReply::Final::kOk || reply.final == AtReply::Final::kAnswered) {
        return true;
    }
    error = DeviceErrorOf(reply);
    return false;
}

template <typename Read>
bool ModemCard::WithPort(int32_t& error, Read read) {
    if (m_bCancel) {
        error = modem_error::kStopping;
        return false;
    }
    const auto deadline = Clock::now() + m_options.timeout;
    const PortLock lock(*this, deadline);
    if (!lock.Held()) {
        error = m_bCancel ? modem_error::kStopping : modem_error::kNoAnswer;
        return false;
    }
    return read(deadline);
}

bool ModemCard::Imsi(Clock::time_point deadline, std::string& imsi, int32_t& error) {
    AtReply reply;
    if (!Ask("AT+CIMI", deadline, reply, error)) return false;
    for (const std::string& line : reply.lines) {
        if (ParseImsi(line, imsi)) return true;
    }
    error = modem_error::kBadAnswer;
    return false;
}

bool ModemCard::ReadImsi(char* buf, size_t size, int32_t& error) {
    return WithPort(error, [&](Clock::time_point deadline) {
        std::string imsi;
        if (!Imsi(deadline, imsi, error)) return false;
        Fill(imsi, buf, size);
        return true;
    });
}

bool ModemCard::ReadSpn(char* buf, size_t size, int32_t& error) {
    return WithPort(error,
                    [&](Clock::time_point deadline) { return Spn(deadline, buf, size, error); });
}

bool ModemCard::Spn(Clock::time_point deadline, char* buf, size_t size, int32_t& error) {
    AtReply reply;
    if (!Ask(kReadSpn, deadline, reply, error)) return false;
    for (const std::string& line : reply.lines) {
        int sw1 = 0, sw2 = 0;
        std::string data;
        if (!ParseCrsm(line, sw1, sw2, data)) continue;
        if ((sw1 == 0x6A && sw2 == 0x82) || (sw1 == 0x94 && sw2 == 4)) {
            error = modem_error::kSpnNotFound;
            return false;
        }
        if (!CrsmSucceeded(sw1)) {
            error = modem_error::kSimFailure;
            return false;
        }
        std::vector<uint8_t> file;
        if (!HexBytes(data, file) || file.empty()) break;
        Fill(SpnFileToGbk(file.data(), file.size(), size - 1), buf, size);
        return true;
    }
    error = modem_error::kBadAnswer;
    return false;
}

std::string ModemCard::OpenError() const {
    std::lock_guard<std::mutex> lock(m_errorMutex);
    return m_strLastOpenError;
}

ModemCard::Found ModemCard::Look(std::string& imsi, int32_t& why, std::string& lockState) {
    const PortLock lock(*this, Clock::now() + m_options.timeout);
    why = modem_error::kNoAnswer;
    if (!lock.Held()) return Found::kUnsure;
    // The check's own time starts once it has the port.
    const auto deadline = Clock::now() + m_options.timeout;
    if (!Ready(deadline, why)) return m_port.IsOpen() ? Found::kUnsure : Found::kGone;
    const AtReply pin = Command("AT+CPIN?", deadline);
    if (pin.final == AtReply::Final::kGone) return Found::kGone;
    std::string state;
    bool bState = false;
    for (const std::string& line : pin.lines) bState = bState || ParseCpin(line, state);
    const bool bAnswered =
        pin.final == AtReply::Final::kOk || pin.final == AtReply::Final::kAnswered;
    if (bAnswered && bState) {
        // A second PIN guards only some phone-book and call functions: the card works without
        // it.
        if (state == "NOT INSERTED" || state == "SIM NOT INSERTED") {
            why = modem_error::kNoSim;
            return Found::kNoSim;
        }
        if (state != "READY" && state != "SIM PIN2" && state != "SIM PUK2") {
            lockState = state;
            why = state == "SIM PIN"   ? modem_error::kSimPin
                  : state == "SIM PUK" ? modem_error::kSimPuk
                                       : modem_error::kDeviceError;
            return Found::kLocked;
        }
    } else {
        why = DeviceErrorOf(pin);
        // A modem that answers without telling the SIM's state (+CME ERROR: 100 from older
        // phones, a plain refusal, lines of its own) leaves it to the IMSI; one that names a
        // state, is busy, floods or says nothing is taken at its word.
        const bool bUntold =
            bAnswered || pin.final == AtReply::Final::kError ||
            (pin.final == AtReply::Final::kCmeError && why == modem_error::kDeviceError);
        if (!bUntold) return FoundOf(why, lockState);
    }
    if (Imsi(deadline, imsi, why)) return Found::kReady;
    if (!m_port.IsOpen()) return Found::kGone;
    return FoundOf(why, lockState);
}

ModemCard::Found ModemCard::FoundOf(int32_t error, std::string& lockState) {
    switch (error) {
        case modem_error::kNoSim:
            return Found::kNoSim;
        case modem_error::kSimPin:
            lockState = "SIM PIN";
            return Found::kLocked;
        case modem_error::kSimPuk:
            lockState = "SIM PUK";
            return Found::kLocked;
        default:
            return Found::kUnsure;
    }
}

void ModemCard::Check(DeviceEventSink& sink) {
    std::string imsi, lockState;
    int32_t why = 0;
    const Found found = Look(imsi, why, lockState);
    m_nLastCheck = found == Found::kReady ? 0 : why;
    // Events go out without the port held: the plug-in reads the card while it handles them.
    // Only a port gone, a SIM gone or another SIM say for sure that the card went; a slow or
    // busy modem does so only when it stays that way.
    const bool bGone = found == Found::kGone || found == Found::kNoSim || found == Found::kLocked ||
                       (found == Found::kReady && imsi != m_strImsi) ||
                       (found == Found::kUnsure && ++m_nFailures >= m_options.failuresBeforeGone);
    if (found != Found::kUnsure) m_nFailures = 0;
    if (m_bReported && bGone) {
        m_bReported = false;
        sink.OnDeviceEvent(kCardEventGone);
    }
    if (found == Found::kLocked && why != m_nNoted) {
        m_nNoted = why;
        sink.OnCardNote(LockNote(why, lockState));
    }
    if (found != Found::kLocked && found != Found::kUnsure) m_nNoted = 0;
    if (found == Found::kReady && !m_bReported) {
        m_bReported = true;
        m_strImsi = imsi;
        sink.OnDeviceEvent(kCardEventReady);
    }
}

std::string ModemCard::NotReadyWhy() const {
    const int32_t code = m_nLastCheck;
    if (code == 0) return {};
    if (code == kNotChecked) return "no check of the card has ended yet";
    std::string text = LoginStateText(code);
    if (text.rfind("card: ", 0) == 0) text.erase(0, 6);
    text += " (" + std::to_string(code) + ")";
    const std::string open = OpenError();
    return open.empty() ? text : text + ": " + open;
}

void ModemCard::Note(const std::string& text) {
    m_queueSink.OnCardNote(text);
}

void ModemCard::QueueSink::OnDeviceEvent(int32_t code) {
    {
        std::lock_guard<std::mutex> lock(m_card.m_runMutex);
        m_card.m_queue.push_back({code, {}});
    }
    m_card.m_wake.notify_all();
}

void ModemCard::QueueSink::OnCardNote(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(m_card.m_runMutex);
        m_card.m_queue.push_back({0, text});
    }
    m_card.m_wake.notify_all();
}

void ModemCard::Start(DeviceEventSink& sink) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        // What reads made before the start noted is told once it starts.
        m_bStop = false;
        m_pSink = &sink;
    }
    m_thread = std::thread([this] { Run(); });
    m_deliverer = std::thread([this] { Deliver(); });
}

void ModemCard::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_deliverer.joinable()) m_deliverer.join();
}

void ModemCard::Cancel() {
    m_bCancel = true;
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_bStop = true;
    }
    m_wake.notify_all();
}

void ModemCard::Run() {
    std::unique_lock<std::mutex> lock(m_runMutex);
    while (!m_bStop) {
        lock.unlock();
        Check(m_queueSink);
        lock.lock();
        m_wake.wait_for(lock, m_options.interval, [this] { return m_bStop; });
    }
}

void ModemCard::Deliver() {
    std::unique_lock<std::mutex> lock(m_runMutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
        // Once stopping, what is still queued is for nobody: the listeners are going.
        if (m_bStop) return;
        const Queued next = std::move(m_queue.front());
        m_queue.pop_front();
        DeviceEventSink* sink = m_pSink;
        lock.unlock();
        if (next.code) {
            sink->OnDeviceEvent(next.code);
        } else {
            sink->OnCardNote(next.note);
        }
        lock.lock();
    }
}
