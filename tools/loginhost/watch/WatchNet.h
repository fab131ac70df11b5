// The host's network state as the system's network service sees it (`loginhost watch`):
// INetConnect answers 2 while the service is connecting (the plug-in waits), and
// ICheckNetConnection -1 while there is no connectivity. Plain C++: the D-Bus side
// (NetworkManagerClient) hands it snapshots.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "INetConnect.h"

// What the network service says; the numbers are the service's own (global state, connectivity
// and device state).
struct NetworkSnapshot {
    bool bService = false;  // the service is on the bus
    uint32_t state = 0;
    uint32_t connectivity = 0;
    bool bModemDevice = false;  // the service has a device for the host's modem
    uint32_t deviceState = 0;   // that device's state

    // INetConnect::GetConnectState: 2 connecting, 3 disconnecting, 1 connected, 0 otherwise; of
    // the modem's own device when the service has one (another link being up says nothing of
    // the data card's), else of the service as a whole.
    int32_t ConnectState() const;
    // "connecting", "connected", ... of the modem's device; empty without one.
    std::string DescribeDevice() const;
    // ICheckNetConnection::CheckConnection: 0 with connectivity, -1 without (or no service).
    int32_t CheckResult() const;
    // "connecting", "connected", ... for the printed lines.
    std::string Describe() const;
    bool operator==(const NetworkSnapshot& o) const {
        return bService == o.bService && state == o.state && connectivity == o.connectivity &&
               bModemDevice == o.bModemDevice && deviceState == o.deviceState;
    }
};

// Both network interfaces over one snapshot. The plug-in's worker calls them; each call is told
// to the watcher (on the worker's thread), which is how the host learns that a login is near.
class WatchNet {
public:
    using Asked = std::function<void(const char* what, int32_t answer)>;
    explicit WatchNet(Asked onAsked = {}) : m_onAsked(std::move(onAsked)) {}

    void Update(const NetworkSnapshot& now);
    INetConnect& Connect() { return m_connect; }
    ICheckNetConnection& Check() { return m_check; }

private:
    class Connection : public INetConnect {
    public:
        explicit Connection(WatchNet& net) : m_net(net) {}
        void Release() override {}
        int32_t GetErrorCode() override { return 0; }
        int32_t GetConnectState() override;

    private:
        WatchNet& m_net;
    };
    class Checker : public ICheckNetConnection {
    public:
        explicit Checker(WatchNet& net) : m_net(net) {}
        void Release() override {}
        int32_t GetErrorCode() override { return 0; }
        int32_t CheckConnection() override;

    private:
        WatchNet& m_net;
    };

    Asked m_onAsked;
    std::atomic<int32_t> m_nConnectState{0};
    std::atomic<int32_t> m_nCheckResult{-1};
    Connection m_connect{*this};
    Checker m_check{*this};
};
