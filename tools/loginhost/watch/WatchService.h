// `loginhost watch`: the plug-in served from the system bus, as a service that runs until it is
// told to stop. The card comes from the modem service, the network state from the network
// service; everything else from the profile, as `run` serves it. One GLib main loop on the
// host's thread carries it all: the services' signals wake it, and it looks at the plug-in only
// for a short while after something happened (a change on the bus, or the plug-in's worker
// asking for the network state just before it logs in), so that it costs nothing while idle.
// Where things stand is published on the session bus (WatchBus.h), and what a person can act on
// is shown by the desktop's notification service (WatchNotifier.h).
#pragma once

#include <glib.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "HostProfile.h"
#include "HostReport.h"
#include "HostRunner.h"
#include "ModemManagerClient.h"
#include "NetworkManagerClient.h"
#include "WatchBus.h"
#include "WatchCard.h"
#include "WatchNotifier.h"
#include "WatchNet.h"

class WatchService {
public:
    // modemId: the equipment identifier of the modem to use; empty for the first one seen.
    // operators: brand names by operator identifier for SIMs the service gives no name of.
    // bNotify: notices for a person go to the desktop's notification service.
    WatchService(HostProfile& profile, HostReport& report, const std::string& modemId,
                 OperatorTable operators = {}, bool bNotify = true);
    ~WatchService();
    WatchService(const WatchService&) = delete;
    WatchService& operator=(const WatchService&) = delete;

    // Loads the plug-in and serves it until SIGINT or SIGTERM, then shuts it down cleanly.
    // The exit status: 0 after a stop, 2 when the plug-in or the bus cannot be used.
    int Run(const std::string& pluginPath);

private:
    void OnModem(const ModemSnapshot& now);
    void OnNetwork(const NetworkSnapshot& now);
    // The plug-in's worker asked for the network state (its thread).
    void OnAsked(const char* what, int32_t answer);
    // The plug-in is about to send a request (its thread): the due login is an attempt.
    void OnRequestDue();
    // Looks at the plug-in every 100 ms for `seconds` from now, and for as long as it logs in.
    void PollFor(double seconds);
    // PollFor from the plug-in's thread.
    void PollSoon();
    static int OnPollTimer(void* self);
    static int OnStopSignal(void* self);
    void StartLoginOnce();
    // The plug-in read a SIM without a name and the profile has no fallback (its thread).
    void OnNoSpn();
    // The session bus: the state published, notices shown. Not having it is no reason to stop.
    void StartSessionBus();
    // Tells the session bus and the person where things stand now.
    void Publish();

    HostReport& m_report;
    const std::string m_strProfileDir;
    const bool m_bNotify;
    WatchCard* m_pCard;  // owned by the runner
    HostRunner m_runner;
    WatchNet m_net;
    ModemManagerClient m_modems;
    NetworkManagerClient m_network;
    GMainLoop* m_pLoop = nullptr;
    bool m_bLoginStarted = false;
    int m_nExit = 0;  // 2 when the plug-in refused its login object
    bool m_bModemSeen = false;
    bool m_bNetworkSeen = false;
    ModemSnapshot m_modem;
    NetworkSnapshot m_networkState;
    unsigned m_pollTimer = 0;
    int64_t m_pollUntil = 0;  // monotonic microseconds
    std::atomic<int> m_nAttempts{0};
    std::atomic<bool> m_bAttemptDue{false};  // a login sequence began and has sent nothing yet
    std::atomic<int> m_nHeld{0};  // what holds the due login back: 1 connectivity, 2 state
    std::atomic<int64_t> m_lastAttempt{0};  // Unix time
    std::mutex m_noSpnMutex;
    std::string m_strNoSpnSaid;  // the SIM whose missing name was said
    WatchBus m_bus;
    WatchNotifier m_notifier;
    std::set<std::string> m_signedIn;  // the identities signed in since the start
};
