#include "IdentitySource.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <numeric>
#include <random>
#include <utility>

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "libs/trace/Trace.h"
#include "platform/localtime.h"
#include "platform/registry.h"

namespace {

// The records keep the login object's site: users read them as its own.
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

const char* const kSettingsKey = "Settings";
constexpr uint32_t kIdentityBufferSize = 32;
// The stored characters and the terminating zero.
constexpr uint32_t kStoredIdentitySize = LOGIN_DEFAULT_IDENTITY_STORED_LENGTH + 1;
constexpr size_t kTimeDigits = 10;
static_assert(4 + kTimeDigits == LOGIN_DEFAULT_IDENTITY_STORED_LENGTH,
              "four random digits and the time make the stored identity");

// Four different digits: 0-9 shuffled by a generator of our own seeded with the time in seconds
// (so identities made within one second are equal), positions 4 to 7. Never the C library's
// srand and rand: they are the host's generator, and reseeding it would change the host's draws.
std::string RandomDigits(int64_t now) {
    int digits[10];
    std::iota(std::begin(digits), std::end(digits), 0);
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(now));
    for (int i = 1; i <= 9; ++i)
        std::swap(digits[i], digits[generator() % static_cast<unsigned>(i + 1)]);
    char text[8];
    std::snprintf(text, sizeof text, "%d%d%d%d", digits[4], digits[5], digits[6], digits[7]);
    return text;
}

// Month, day, hour, minute and second of the local time: the right-most ten characters of
// "%Y%m%d%H%M%S", or empty when the time cannot be converted.
std::string TimeDigits(int64_t now) {
    char text[128] = {};
    std::tm local{};
    if (ToLocalTime(now, local)) std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    const std::string all(text);
    return all.size() > kTimeDigits ? all.substr(all.size() - kTimeDigits) : all;
}

}  // namespace

StepOutcome IdentitySource::Get() {
    StepOutcome found;
    try {
        found.text = Cached();
        if (!found.text.empty()) return found;
        uint64_t ticket = 0;
        found = ReadCard(ticket);
        std::string& imsi = found.text;
        if (imsi.empty()) {
            const std::string fallback = Default();
            // The default stands in for this read's empty result only: a read begun since owns
            // the cache.
            std::lock_guard<std::mutex> lock(m_guard);
            if (m_strIMSI.empty() && m_nTicket == ticket) m_strIMSI = fallback;
            imsi = m_strIMSI.empty() ? fallback : m_strIMSI;
        }
        return found;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetIMSI() exception!");
        found.text.clear();
        return found;
    }
}

std::string IdentitySource::Cached() const {
    std::lock_guard<std::mutex> lock(m_guard);
    return m_strIMSI;
}

uint64_t IdentitySource::BeginRead() {
    std::lock_guard<std::mutex> lock(m_guard);
    m_strIMSI.clear();
    m_nTicket = ++m_nTickets;
    return m_nTicket;
}

bool IdentitySource::Store(const std::string& imsi, uint64_t ticket) {
    std::lock_guard<std::mutex> lock(m_guard);
    if (ticket < m_nTicket) return false;
    m_strIMSI = imsi;
    m_nTicket = ticket;
    return true;
}

StepOutcome IdentitySource::ReadCard(uint64_t& ticket) {
    StepOutcome read;
    try {
        ticket = BeginRead();
        HostRef<ICheckDeviceType> device = CEasyUseInterface(m_pContainer).CheckDeviceType();
        if (!device) {
            TRACE_AT(kTrace, TRACE_WARN, "pICheckDeviceType is NULL!");
            return read;
        }
        MTSComm* pComm = device->GetMTSComm();
        // Released before the card is asked; the communication interface is the host's.
        device.Release();
        if (!pComm) {
            TRACE_AT(kTrace, TRACE_WARN, "pMTSComm is NULL!");
            return read;
        }
        char buffer[MTS_IMSI_BUFFER_SIZE] = {};
        int32_t error = 0;
        if (!pComm->SRVGetImsiInfo(buffer, error)) {
            TRACE_AT(kTrace, TRACE_ERRO, "pMTSComm->SRVGetImsiInfo() failed!");
            read.code = error;
            return read;
        }
        // Taken as the host gives it; a missing terminator never runs past the buffer.
        std::string imsi(buffer, strnlen(buffer, sizeof buffer));
        Store(imsi, ticket);
        read.bOk = true;
        read.text = imsi;
        return read;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "ReGetATIMSI() exception!");
        return read;
    }
}

std::string IdentitySource::Default() {
    try {
        std::string identity;
        RegKey key = RegKey::OpenCurrentUser(LOGIN_REGISTRY_IDENTITY_KEY, RegAccess::All);
        if (!key.IsOpen()) {
            CreateDefault(identity);
            return identity;
        }
        char value[kIdentityBufferSize] = {};
        uint32_t size = sizeof value;
        if (!key.QueryValue(LOGIN_REGISTRY_IDENTITY_VALUE, value, size)) {
            key.Close();
            CreateDefault(identity);
            return identity;
        }
        key.Close();
        if (size == kStoredIdentitySize)
            return LOGIN_DEFAULT_IDENTITY_PREFIX + std::string(value, strnlen(value, size));
        // A value of another size is replaced; one that cannot be replaced gives nothing.
        return CreateDefault(identity) == 0 ? identity : std::string();
    } catch (...) {
        return {};
    }
}

int IdentitySource::CreateDefault(std::string& identity) {
    const int64_t now = m_clock.Now();
    const std::string stored = RandomDigits(now) + TimeDigits(now);
    identity = LOGIN_DEFAULT_IDENTITY_PREFIX + stored;

    // The parent key belongs to the product's installation and is never made here.
    RegKey parent = RegKey::OpenCurrentUser(LOGIN_REGISTRY_PRODUCT_KEY, RegAccess::All);
    if (!parent.IsOpen()) return -1;
    RegKey settings = parent.CreateSubKey(kSettingsKey, RegAccess::All, /*bVolatile=*/true);
    if (!settings.IsOpen()) return -2;
    if (!settings.SetStringValue(LOGIN_REGISTRY_IDENTITY_VALUE, stored)) return -3;
    return 0;
}
