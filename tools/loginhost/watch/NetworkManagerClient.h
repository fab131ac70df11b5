// The system's network service on the bus, through its client library (libnm): its global state
// and connectivity, and the state of the device it made for the host's modem. Lives on the GLib
// main context of the thread that starts it; every change is told to the owner, on that thread.
#pragma once

#include <NetworkManager.h>

#include <functional>
#include <string>

#include "WatchNet.h"

class NetworkManagerClient {
public:
    using Changed = std::function<void(const NetworkSnapshot&)>;
    explicit NetworkManagerClient(Changed onChanged) : m_onChanged(std::move(onChanged)) {}
    ~NetworkManagerClient();
    NetworkManagerClient(const NetworkManagerClient&) = delete;
    NetworkManagerClient& operator=(const NetworkManagerClient&) = delete;

    // Follows the service on the system bus, running or not; false with error set when the
    // client cannot be made. The first snapshot is told before it returns.
    bool Start(std::string& error);
    const NetworkSnapshot& Current() const { return m_current; }
    // The modem service's object of the host's modem (empty for none): the service's device
    // for it is the one whose state counts.
    void SetModem(const std::string& modemPath);

private:
    static void OnNotify(void* client, void* param, void* self);
    static void OnDevice(void* client, void* device, void* self);
    void Evaluate();
    void FollowDevice(NMDevice* device);

    Changed m_onChanged;
    NMClient* m_pClient = nullptr;
    std::string m_strModem;
    NMDevice* m_pDevice = nullptr;  // the modem's device, referenced, its state followed
    NetworkSnapshot m_current;
    bool m_bTold = false;
};
