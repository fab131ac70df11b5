#include "WatchNet.h"

namespace {

// The network service's global states and connectivity values.
constexpr uint32_t kStateAsleep = 10;
constexpr uint32_t kStateDisconnected = 20;
constexpr uint32_t kStateDisconnecting = 30;
constexpr uint32_t kStateConnecting = 40;
constexpr uint32_t kStateConnectedLocal = 50;
constexpr uint32_t kStateConnectedSite = 60;
constexpr uint32_t kConnectivityUnknown = 0;
constexpr uint32_t kConnectivityNone = 1;
// Device states: from preparing to the secondary connections the link is being made.
constexpr uint32_t kDeviceUnmanaged = 10;
constexpr uint32_t kDeviceUnavailable = 20;
constexpr uint32_t kDeviceDisconnected = 30;
constexpr uint32_t kDevicePrepare = 40;
constexpr uint32_t kDeviceSecondaries = 90;
constexpr uint32_t kDeviceActivated = 100;
constexpr uint32_t kDeviceDeactivating = 110;
constexpr uint32_t kDeviceFailed = 120;

}  // namespace

int32_t NetworkSnapshot::ConnectState() const {
    if (!bService) return 0;
    if (bModemDevice) {
        if (deviceState >= kDevicePrepare && deviceState <= kDeviceSecondaries) return 2;
        if (deviceState == kDeviceDeactivating) return 3;
        return deviceState == kDeviceActivated ? 1 : 0;
    }
    if (state == kStateConnecting) return 2;
    if (state == kStateDisconnecting) return 3;
    return state >= kStateConnectedLocal ? 1 : 0;
}

int32_t NetworkSnapshot::CheckResult() const {
    if (!bService || connectivity == kConnectivityNone) return -1;
    // A service that does not check connectivity reports it unknown: its state says enough.
    if (connectivity == kConnectivityUnknown) return state >= kStateConnectedSite ? 0 : -1;
    return 0;
}

std::string NetworkSnapshot::Describe() const {
    if (!bService) return "service not running";
    switch (state) {
        case kStateAsleep:
            return "asleep";
        case kStateDisconnected:
            return "disconnected";
        case kStateDisconnecting:
            return "disconnecting";
        case kStateConnecting:
            return "connecting";
        case kStateConnectedLocal:
            return "connected (local only)";
        case kStateConnectedSite:
            return "connected (site only)";
        default:
            return state > kStateConnectedSite ? "connected" : "unknown";
    }
}

std::string NetworkSnapshot::DescribeDevice() const {
    if (!bService || !bModemDevice) return {};
    if (deviceState >= kDevicePrepare && deviceState <= kDeviceSecondaries) return "connecting";
    switch (deviceState) {
        case kDeviceUnmanaged:
            return "unmanaged";
        case kDeviceUnavailable:
            return "unavailable";
        case kDeviceDisconnected:
            return "disconnected";
        case kDeviceActivated:
            return "connected";
        case kDeviceDeactivating:
            return "disconnecting";
        case kDeviceFailed:
            return "failed";
        default:
            return "unknown";
    }
}

void WatchNet::Update(const NetworkSnapshot& now) {
    m_nConnectState = now.ConnectState();
    m_nCheckResult = now.CheckResult();
}

int32_t WatchNet::Connection::GetConnectState() {
    const int32_t state = m_net.m_nConnectState;
    if (m_net.m_onAsked) m_net.m_onAsked("GetConnectState", state);
    return state;
}

int32_t WatchNet::Checker::CheckConnection() {
    const int32_t result = m_net.m_nCheckResult;
    if (m_net.m_onAsked) m_net.m_onAsked("CheckConnection", result);
    return result;
}
