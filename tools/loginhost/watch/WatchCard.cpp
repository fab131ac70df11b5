#include "WatchCard.h"

#include <algorithm>
#include <cstring>

#include "ICheckDeviceType.h"
#include "SimSpn.h"

namespace {

int32_t ErrorOf(const ModemSnapshot& snapshot) {
    switch (snapshot.status) {
        case ModemStatus::kNoService:
            return kCardErrorTimeout;
        case ModemStatus::kNoModem:
        case ModemStatus::kNoSim:
            return kCardErrorNoSim;
        case ModemStatus::kSimNotReady:
            // A locked SIM stays so until the user acts: the plug-in must not retry it as busy.
            if (snapshot.unlockRequired == kModemLockSimPin) return kCardErrorSimPin;
            if (snapshot.unlockRequired == kModemLockSimPuk) return kCardErrorSimPuk;
            return kCardErrorBusy;
        case ModemStatus::kReady:
            break;
    }
    return 0;
}

// As the modem's AT path hands the card over: a character GBK lacks is '?', and a cut falls
// between characters, never inside a double-byte one.
bool Fill(const std::string& utf8, char* buf, size_t size) {
    if (size == 0) return false;
    const std::string text = Utf8ToGbkWithin(utf8, size - 1);
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return true;
}

}  // namespace

bool ModemSnapshot::SameCard(const ModemSnapshot& other) const {
    return IsReady() && other.IsReady() && modemPath == other.modemPath &&
           simPath == other.simPath && imsi == other.imsi;
}

std::vector<int32_t> DeviceEventsBetween(const ModemSnapshot& before, const ModemSnapshot& after) {
    std::vector<int32_t> events;
    if (before.SameCard(after)) return events;
    if (before.IsReady()) events.push_back(DEVICE_EVENT_CHANGED);
    if (after.IsReady()) events.push_back(DEVICE_EVENT_AVAILABLE);
    return events;
}

bool WatchCard::ReadImsi(char* buf, size_t size, int32_t& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    error = ErrorOf(m_snapshot);
    if (error != 0) return false;
    return Fill(m_snapshot.imsi, buf, size);
}

bool WatchCard::ReadSpn(char* buf, size_t size, int32_t& error) {
    std::string spn;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        error = ErrorOf(m_snapshot);
        if (error != 0) return false;
        spn = m_snapshot.spn;
        const auto named = m_operators.find(m_snapshot.operatorId);
        if (spn.empty() && named != m_operators.end()) spn = named->second;
    }
    // The service decodes the SIM's name from GSM 7-bit only: a UCS2 name (most Chinese
    // operators') or a SIM without the file comes empty.
    if (spn.empty() && !m_bNameFallback) {
        if (m_onNoSpn) m_onNoSpn();
        error = kCardErrorNoSpn;
        return false;
    }
    return Fill(spn, buf, size);
}

void WatchCard::Start(DeviceEventSink& sink) {
    bool bReady = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pSink = &sink;
        bReady = m_snapshot.IsReady();
    }
    if (bReady) sink.OnDeviceEvent(DEVICE_EVENT_AVAILABLE);
}

void WatchCard::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pSink = nullptr;
}

void WatchCard::Update(const ModemSnapshot& now) {
    DeviceEventSink* pSink = nullptr;
    std::vector<int32_t> events;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        events = DeviceEventsBetween(m_snapshot, now);
        m_snapshot = now;
        pSink = m_pSink;
    }
    if (!pSink) return;
    for (const int32_t code : events) pSink->OnDeviceEvent(code);
}

ModemSnapshot WatchCard::Current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_snapshot;
}
