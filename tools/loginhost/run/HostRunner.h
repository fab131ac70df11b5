// One run of the plug-in against a profile, step by step as a host drives it: load, container,
// identity, the login interface, device events, the login and its results, shutdown. The
// commands (run, demo) and the script steps compose these steps; all run on the host's thread.
// The pieces live beside it: the waits (HostWait.h), the interfaces asked for by number
// (PluginQueries.h), the skin-change listeners (HostSkinListeners.h), the card's events
// (CardEventLog.h), the identity it signs in with (CardIdentity.h) and interrupts
// (HostInterrupt.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CardEventLog.h"
#include "CardSource.h"
#include "HostContainer.h"
#include "HostInterrupt.h"
#include "HostProfile.h"
#include "HostProgress.h"
#include "HostReport.h"
#include "HostServices.h"
#include "HostWait.h"
#include "ILogin.h"
#include "PluginSession.h"
#include "HostSkinListeners.h"

class HostRunner {
public:
    // The card is the profile's simulated card unless another source is given.
    HostRunner(HostProfile& profile, HostReport& report,
               std::unique_ptr<CardSource> card = nullptr);
    ~HostRunner();
    HostRunner(const HostRunner&) = delete;
    HostRunner& operator=(const HostRunner&) = delete;

    // Loads the library, makes the plug-in, hands it the container and initialises it;
    // false with error set when the library cannot be used.
    bool Start(const std::string& pluginPath, std::string& error);
    // Prints the plug-in's identity.
    void Identify();
    // Asks for the login interface (number 1), serves it to the other plug-ins through the
    // container and listens to its skin changes; then the card source starts reporting its
    // device events.
    bool QueryLogin();
    // Sends a device event to the registered listeners and reports it.
    int SendDeviceEvent(int32_t code);
    // How many events of this code the card source has reported so far.
    int CardEvents(int32_t code) const;
    // Waits up to `seconds` for the card source to report one more event of this code than
    // earlier waits took; true once it has.
    bool WaitCardEvent(int32_t code, double seconds);
    bool StartLogin();
    // Waits up to `seconds` for IsLoginSuccess(), printing progress; true once logged in.
    bool WaitLogin(double seconds);
    // Waits up to `seconds` for IsLoginSuccess() to turn false; true once it has.
    bool WaitLogout(double seconds);
    // Waits up to `seconds` for a trace record of the plug-in whose message holds `text` (GBK,
    // as the plug-in writes it); true once one came.
    bool WaitTrace(double seconds, const std::string& text);
    // Waits `seconds`, printing progress.
    void Pause(double seconds);
    // Prints what changed in the plug-in since the last look.
    void Poll();
    // Asks the plug-in for an interface by number and prints what it gives.
    void Query(int32_t number);
    void CheckSimType(const std::string& simType);
    // Opens the settings dialog (interface 20498); its end code, or -1.
    int32_t ShowSettings();
    // More skin-change listeners, by name ("host" is the host's own).
    bool AddListener(const std::string& name);
    bool RemoveListener(const std::string& name);
    // How many skin changes the named listener was told of; -1 for no such listener.
    int SkinNotices(const std::string& name) const;

    // The data card and the network state, changed between steps.
    const CardProfile& Card() const { return m_card; }
    void SetCard(const CardProfile& card);
    void SetConnectState(int32_t state) { m_services.net.m_nState = state; }
    void SetCheckResult(int32_t result) { m_services.check.m_nResult = result; }
    // Serves the network state from elsewhere than net.ini (watch: the system's network service).
    void ServeNetwork(INetConnect& net, ICheckNetConnection& check);
    // Told (on the plug-in's worker thread) whenever the plug-in reads the server URL it is about
    // to send a request to: the one sign the host has that a request goes out. Set before Start.
    void OnRequestDue(std::function<void()> onRequest) { m_onRequest = std::move(onRequest); }

    // Where the login stands, with the results of interfaces 3 and 2 after a success.
    LoginOutcome Outcome();
    // Stops listening, OnDestroy, Release. Safe to call twice.
    void Shutdown();
    bool IsLoaded() const { return m_session.Plugin() != nullptr; }

    ILogin2* Login() const { return m_pLogin; }
    HostServices& Services() { return m_services; }
    IBasePlugin* Plugin() const { return m_session.Plugin(); }
    double Elapsed() const { return m_progress.Elapsed(); }

    // Ends every wait early (a signal handler may call it).
    static void Interrupt() { HostInterrupt::Raise(); }
    // From now on Ctrl-C (and SIGTERM) ends the waiting, and the plug-in is still shut down
    // cleanly.
    static void CatchInterrupt() { HostInterrupt::Catch(); }
    // Also ends the program within a second of an interrupt even while the plug-in holds the
    // host's thread or a card event (its retries can take minutes): the card's reads fail at
    // once, and a plug-in that still does not return is left without its shutdown.
    void EndPromptlyOnInterrupt();
    static bool Interrupted() { return HostInterrupt::Raised(); }

private:
    HostReport& m_report;
    HostProgress m_progress;
    HostWait m_wait;
    // The services outlive the plug-in, which may call them until it is released.
    HostServices m_services;
    CardEventLog m_cardEvents;
    bool m_bCardStarted = false;
    WatchedSetting m_watchedSetting;
    HostContainer m_container;
    CardProfile m_card;
    HostSkinListeners m_listeners;
    ILogin2* m_pLogin = nullptr;
    std::string m_strPath;
    std::function<void()> m_onRequest;
    PluginSession m_session;
};
