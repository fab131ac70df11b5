// The system's modem service on the bus, through its own client library (libmm-glib): which
// modem serves the host's card and what its SIM says. Lives on the GLib main context of the
// thread that starts it; every change of the snapshot is told to the owner, on that thread.
#pragma once

#include <libmm-glib.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "WatchCard.h"

class ModemManagerClient {
public:
    using Changed = std::function<void(const ModemSnapshot&)>;
    // wantedId: the equipment identifier of the modem to use; empty for the first modem that has
    // a SIM.
    ModemManagerClient(std::string wantedId, Changed onChanged);
    ~ModemManagerClient();
    ModemManagerClient(const ModemManagerClient&) = delete;
    ModemManagerClient& operator=(const ModemManagerClient&) = delete;

    // Follows the service on `bus`, running or not; false with error set when the client cannot
    // be made. The first snapshot is told before it returns.
    bool Start(GDBusConnection* bus, std::string& error);
    const ModemSnapshot& Current() const { return m_current; }

private:
    struct SimRequest;
    static void OnObjectAdded(void* manager, void* object, void* self);
    static void OnObjectRemoved(void* manager, void* object, void* self);
    static void OnChanged(void* source, void* param, void* self);
    static void OnPropertiesChanged(void* proxy, void* changed, void* invalidated, void* self);
    static void OnSimReady(void* source, void* result, void* request);
    void WatchModem(void* object);
    MMSim* SimOf(void* modem, const std::string& path);
    // bRetry: ask again for SIM objects that could not be read.
    void Evaluate(bool bRetry = true);

    const std::string m_strWantedId;
    Changed m_onChanged;
    MMManager* m_pManager = nullptr;
    GCancellable* m_pCancel = nullptr;
    std::map<std::string, MMSim*> m_sims;  // SIM objects by path, owned
    std::set<std::string> m_pending;       // SIM objects asked for
    std::set<std::string> m_failed;        // SIM objects that could not be read last time
    ModemSnapshot m_current;
    bool m_bTold = false;
};
