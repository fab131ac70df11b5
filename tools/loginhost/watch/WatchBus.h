// The watch's state on the session bus (org.loginplugin.Watch1, read-only properties with
// PropertiesChanged; org.loginplugin.Watch1.xml describes it), for a desktop shell, an indicator,
// a script or `loginhost status`. The SIM's identity is not among them: every program of the
// user reads the session bus. On the host's thread, which runs the bus's main loop.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <string>

#include "HostReport.h"

inline constexpr char kWatchBusName[] = "org.loginplugin.Watch1";
inline constexpr char kWatchBusPath[] = "/org/loginplugin/Watch1";
inline constexpr char kWatchBusInterface[] = "org.loginplugin.Watch1";

struct WatchBusState {
    std::string state = "starting";  // one word, see WatchStateWord
    int32_t errorCode = 0;
    bool bLoggedIn = false;
    std::string modem;         // the equipment identifier
    uint64_t lastAttempt = 0;  // Unix time
    uint32_t attempts = 0;

    bool operator==(const WatchBusState& o) const {
        return state == o.state && errorCode == o.errorCode && bLoggedIn == o.bLoggedIn &&
               modem == o.modem && lastAttempt == o.lastAttempt && attempts == o.attempts;
    }
};

class WatchBus {
public:
    explicit WatchBus(HostReport& report) : m_report(report) {}
    ~WatchBus();
    WatchBus(const WatchBus&) = delete;
    WatchBus& operator=(const WatchBus&) = delete;

    // Publishes the object and asks for the name; a name another program holds is said once.
    void Start(GDBusConnection* bus);
    // The new state; what changed is signalled.
    void Set(const WatchBusState& now);

private:
    static GVariant* OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                   const char* name, GError** error, void* self);
    static void OnNameLost(GDBusConnection*, const char*, void* self);

    HostReport& m_report;
    GDBusConnection* m_pBus = nullptr;
    unsigned m_object = 0;
    unsigned m_name = 0;
    bool m_bLostSaid = false;
    WatchBusState m_state;
};
