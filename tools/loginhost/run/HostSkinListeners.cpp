#include "HostSkinListeners.h"

namespace {

constexpr char kHostListener[] = "host";

}  // namespace

int32_t HostSkinListeners::Listener::OnSkinChange(SkinChangeInfo* pInfo) {
    ++m_nNotices;
    if (pInfo)
        m_report.OnSkinChange(*pInfo, m_strName == kHostListener ? std::string() : m_strName);
    return 1;
}

HostSkinListeners::HostSkinListeners(HostReport& report) : m_report(report) {
    m_listeners.emplace_back(report, kHostListener);
}

void HostSkinListeners::RegisterHost(ILogin2& login) {
    login.SetEventHandler(&m_listeners.front());
}

HostSkinListeners::Listener* HostSkinListeners::Find(const std::string& name) {
    for (Listener& listener : m_listeners)
        if (listener.Name() == name) return &listener;
    return nullptr;
}

bool HostSkinListeners::Add(ILogin2& login, const std::string& name) {
    Listener* listener = Find(name);
    if (!listener) {
        m_listeners.emplace_back(m_report, name);
        listener = &m_listeners.back();
    }
    const bool added = login.SetEventHandler(listener);
    m_report.Line("listener", name + (added ? " added" : " refused"));
    return added;
}

bool HostSkinListeners::Remove(ILogin2& login, const std::string& name) {
    Listener* listener = Find(name);
    if (!listener) return false;
    const bool removed = login.RemoveEventHandler(listener);
    m_report.Line("listener", name + (removed ? " removed" : " not removed"));
    return removed;
}

void HostSkinListeners::RemoveAll(ILogin2& login) {
    for (Listener& listener : m_listeners) login.RemoveEventHandler(&listener);
}

int HostSkinListeners::Notices(const std::string& name) const {
    for (const Listener& listener : m_listeners)
        if (listener.Name() == name) return listener.Notices();
    return -1;
}
