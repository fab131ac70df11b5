// Notices for a person through the desktop's notification service (org.freedesktop.Notifications
// on the session bus): one notice per SIM, each new state of it replacing the last one shown
// (replaces_id), a state shown once however often the plug-in retries. A desktop without the
// service is said once and costs nothing more. On the host's thread, which runs the bus's loop.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "HostReport.h"
#include "WatchState.h"

class WatchNotifier {
public:
    explicit WatchNotifier(HostReport& report);
    ~WatchNotifier();
    WatchNotifier(const WatchNotifier&) = delete;
    WatchNotifier& operator=(const WatchNotifier&) = delete;

    // Notices go out on this bus from now on.
    void Start(GDBusConnection* bus);
    // Shows the notice for the SIM unless it is the one shown last for it; an empty key shows
    // nothing and keeps the last one.
    void Show(const std::string& sim, const WatchNotice& notice);
    // The key of the notice shown last for the SIM; empty for none.
    std::string Shown(const std::string& sim) const;

private:
    struct Sim {
        std::string key;  // of the notice shown last
        uint32_t id = 0;  // the service's number of it, to be replaced
    };
    void SendNext();
    static void OnReply(GObject* source, GAsyncResult* result, void* self);

    HostReport& m_report;
    GDBusConnection* m_pBus = nullptr;
    GCancellable* m_pCancel;
    std::map<std::string, Sim> m_sims;
    // Sent one at a time, so that a notice replaces the one before it even when the service has
    // not yet answered with its number.
    std::deque<std::pair<std::string, WatchNotice>> m_queue;
    bool m_bSending = false;
    bool m_bMissingSaid = false;
};
