// The host's skin-change listeners on the login object: its own ("host"), registered when the
// login interface comes, and more by name, added and removed by script steps.
#pragma once

#include <atomic>
#include <list>
#include <string>

#include "HostReport.h"
#include "ILogin.h"
#include "ISkinControlEvent.h"

class HostSkinListeners {
public:
    explicit HostSkinListeners(HostReport& report);

    // Registers the host's own listener.
    void RegisterHost(ILogin2& login);
    // Registers the named listener (made on first use); reported.
    bool Add(ILogin2& login, const std::string& name);
    // Removes the named listener; reported. False for no such listener.
    bool Remove(ILogin2& login, const std::string& name);
    // Removes every listener, silently (at shutdown).
    void RemoveAll(ILogin2& login);
    // How many skin changes the named listener was told of; -1 for no such listener.
    int Notices(const std::string& name) const;

private:
    // It reports and counts each notification.
    class Listener : public ISkinControlEvent {
    public:
        Listener(HostReport& report, std::string name)
            : m_report(report), m_strName(std::move(name)) {}
        int32_t OnSkinChange(SkinChangeInfo* pInfo) override;
        const std::string& Name() const { return m_strName; }
        int Notices() const { return m_nNotices; }

    private:
        HostReport& m_report;
        const std::string m_strName;
        std::atomic<int> m_nNotices{0};
    };

    Listener* Find(const std::string& name);

    HostReport& m_report;
    std::list<Listener> m_listeners;  // the host's own first; never moved
};
