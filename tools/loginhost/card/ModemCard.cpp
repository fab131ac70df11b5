#include "ModemCard.h"

#include <cstring>
#include <vector>

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

bool IsImsi(const std::string& text) {
    return text.size() >= 6 && text.size() <= 15 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

void Fill(const std::string& text, char* buf, size_t size) {
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

// "+CRSM: 144,0,"0180..."": status words and data; false when the line is not one.
bool ParseCrsm(const std::string& line, int& sw1, int& sw2, std::string& data) {
    const char prefix[] = "+CRSM:";
    if (line.rfind(prefix, 0) != 0) return false;
    const char* p = line.c_str() + sizeof prefix - 1;
    char* end = nullptr;
    sw1 = static_cast<int>(std::strtol(p, &end, 10));
    if (end == p || *end != ',') return false;
    p = end + 1;
    sw2 = static_cast<int>(std::strtol(p, &end, 10));
    if (end == p) return false;
    data.clear();
    if (*end == ',') {
        std::string rest = end + 1;
        rest.erase(0, rest.find_first_not_of(' '));
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
            rest = rest.substr(1, rest.size() - 2);
        }
        data = rest;
    }
    return true;
}

}  // namespace

int32_t DeviceErrorOf(const AtReply& reply) {
    switch (reply.final) {
        case AtReply::Final::kCmeError:
            return reply.cme == 10 ? modem_error::kNoSim : reply.cme;
        case AtReply::Final::kNoAnswer:
        case AtReply::Final::kGone:
            return modem_error::kNoAnswer;
        case AtReply::Final::kError:
        case AtReply::Final::kOk:
            break;
    }
    return modem_error::kBadAnswer;
}

ModemCard::ModemCard(ModemOptions options) : m_options(std::move(options)) {}

ModemCard::PortLock::PortLock(ModemCard& card, Clock::time_point deadline) : m_card(card) {
    std::unique_lock<std::mutex> lock(card.m_portMutex);
    m_bHeld = card.m_portFree.wait_until(lock, deadline, [&card] { return !card.m_bPortBusy; });
    if (m_bHeld) card.m_bPortBusy = true;
}

ModemCard::PortLock::~PortLock() {
    if (!m_bHeld) return;
    {
        std::lock_guard<std::mutex> lock(m_card.m_portMutex);
        m_card.m_bPortBusy = false;
    }
    m_card.m_portFree.notify_one();
}

ModemCard::~ModemCard() {
    ModemCard::Stop();
}

AtReply ModemCard::Command(const std::string& command, Clock::time_point deadline) {
    AtReply reply = AtChannel(m_port).Command(command, deadline);
    if (reply.final == AtReply::Final::kGone) {
        // Unplugged: the next use opens the port afresh.
        m_port.Close();
        m_bInitialised = false;
    } else if (reply.final == AtReply::Final::kNoAnswer) {
        // Its echo and error settings are unknown after silence.
        m_bInitialised = false;
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
    // No echo, and numbered device errors.
    for (const char* command : {"ATE0", "AT+CMEE=1"}) {
        const AtReply reply = Command(command, deadline);
        if (reply.final != AtReply::Final::kOk) {
            error = DeviceErrorOf(reply);
            return false;
        }
    }
    m_bInitialised = true;
    return true;
}

bool ModemCard::Ask(const char* command, Clock::time_point deadline, AtReply& reply,
                    int32_t& error) {
    if (!Ready(deadline, error)) return false;
    reply = Command(command, deadline);
    if (reply.final == AtReply::Final::kOk) return true;
    error = DeviceErrorOf(reply);
    return false;
}

template <typename Read>
bool ModemCard::WithPort(int32_t& error, Read read) {
    const auto deadline = Clock::now() + m_options.timeout;
    const PortLock lock(*this, deadline);
    if (!lock.Held()) {
        error = modem_error::kNoAnswer;
        return false;
    }
    return read(deadline);
}

bool ModemCard::Imsi(Clock::time_point deadline, std::string& imsi, int32_t& error) {
    AtReply reply;
    if (!Ask("AT+CIMI", deadline, reply, error)) return false;
    for (const std::string& line : reply.lines) {
        if (IsImsi(line)) {
            imsi = line;
            return true;
        }
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
        if ((sw1 == 106 && sw2 == 130) || (sw1 == 148 && sw2 == 4)) {
            error = modem_error::kSpnNotFound;
            return false;
        }
        std::vector<uint8_t> file;
        if (sw1 != 144 && sw1 != 145) {
            error = modem_error::kSimFailure;
            return false;
        }
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

void ModemCard::Check(DeviceEventSink& sink) {
    bool bReady = false;
    std::string imsi;
    {
        const auto deadline = Clock::now() + m_options.timeout;
        const PortLock lock(*this, deadline);
        int32_t error = 0;
        if (lock.Held() && Ready(deadline, error)) {
            const AtReply pin = Command("AT+CPIN?", deadline);
            bool bPinReady = false;
            for (const std::string& line : pin.lines) bPinReady |= line == "+CPIN: READY";
            bReady = pin.final == AtReply::Final::kOk && bPinReady && Imsi(deadline, imsi, error);
        }
    }
    // Events go out without the port held: the plug-in reads the card while it handles them.
    if (m_bReported && (!bReady || imsi != m_strImsi)) {
        m_bReported = false;
        sink.OnDeviceEvent(DEVICE_EVENT_CHANGED);
    }
    if (bReady && !m_bReported) {
        m_bReported = true;
        m_strImsi = imsi;
        sink.OnDeviceEvent(DEVICE_EVENT_AVAILABLE);
    }
}

void ModemCard::Start(DeviceEventSink& sink) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_bStop = false;
        m_pSink = &sink;
    }
    m_thread = std::thread([this] { Run(); });
}

void ModemCard::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void ModemCard::Run() {
    std::unique_lock<std::mutex> lock(m_runMutex);
    while (!m_bStop) {
        DeviceEventSink* sink = m_pSink;
        lock.unlock();
        Check(*sink);
        lock.lock();
        m_wake.wait_for(lock, m_options.interval, [this] { return m_bStop; });
    }
}
