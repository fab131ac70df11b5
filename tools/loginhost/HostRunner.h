// One run of the plug-in against a profile, step by step as a host drives it: load, container,
// identity, the login interface, device events, shutdown. Commands compose these steps.
#pragma once

#include <string>

#include "HostContainer.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "HostServices.h"
#include "ILogin.h"
#include "ISkinControlEvent.h"
#include "PluginSession.h"

class HostRunner {
public:
    HostRunner(HostProfile& profile, HostReport& report);
    ~HostRunner();
    HostRunner(const HostRunner&) = delete;
    HostRunner& operator=(const HostRunner&) = delete;

    // Loads the library, makes the plug-in, hands it the container and initialises it;
    // false with error set when the library cannot be used.
    bool Start(const std::string& pluginPath, std::string& error);
    // Prints the plug-in's identity.
    void Identify();
    // Asks for the login interface (number 1) and listens to its skin changes.
    bool QueryLogin();
    // Sends a device event to the registered listeners and reports it.
    int SendDeviceEvent(int32_t code);
    // Stops listening, OnDestroy, Release. Safe to call twice.
    void Shutdown();

    ILogin2* Login() const { return m_pLogin; }
    HostServices& Services() { return m_services; }
    IBasePlugin* Plugin() const { return m_session.Plugin(); }

private:
    // The host's own skin-change listener: it reports each notification.
    class SkinListener : public ISkinControlEvent {
    public:
        explicit SkinListener(HostReport& report) : m_report(report) {}
        int32_t OnSkinChange(SkinChangeInfo* pInfo) override;

    private:
        HostReport& m_report;
    };

    HostReport& m_report;
    // The services outlive the plug-in, which may call them until it is released.
    HostServices m_services;
    HostContainer m_container;
    SkinListener m_listener;
    ILogin2* m_pLogin = nullptr;
    std::string m_strPath;
    PluginSession m_session;
};
