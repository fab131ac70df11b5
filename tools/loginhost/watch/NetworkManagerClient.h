// The system's network service on the bus, through its client library (libnm): its global state
// and connectivity. Lives on the GLib main context of the thread that starts it; every change is
// told to the owner, on that thread.
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

private:
    static void OnNotify(void* client, void* param, void* self);
    void Evaluate();

    Changed m_onChanged;
    NMClient* m_pClient = nullptr;
    NetworkSnapshot m_current;
    bool m_bTold = false;
};
