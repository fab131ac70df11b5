#include "HostRunner.h"

#include <cstdio>

#include "platform/textcodec.h"

int32_t HostRunner::SkinListener::OnSkinChange(SkinChangeInfo* pInfo) {
    if (pInfo) m_report.OnSkinChange(*pInfo);
    return 1;
}

HostRunner::HostRunner(HostProfile& profile, HostReport& report)
    : m_report(report), m_services(profile, &report), m_listener(report) {
    m_services.Register(m_container);
}

HostRunner::~HostRunner() {
    Shutdown();
}

bool HostRunner::Start(const std::string& pluginPath, std::string& error) {
    m_strPath = pluginPath;
    if (!m_session.Load(pluginPath)) {
        error = m_session.Error();
        return false;
    }
    IBasePlugin* plugin = m_session.Plugin();
    plugin->SetPluginContainer(&m_container);
    plugin->Initialize();
    return true;
}

void HostRunner::Identify() {
    IBasePlugin* plugin = m_session.Plugin();
    if (!plugin) return;
    char version[16];
    std::snprintf(version, sizeof version, "0x%04X",
                  static_cast<unsigned>(plugin->GetPluginVersion()));
    m_report.Line("plugin", m_strPath);
    m_report.Line("id", plugin->GetPluginID());
    m_report.Line("name", GbkToUtf8(plugin->GetPluginName()));
    m_report.Line("type", std::to_string(plugin->GetPluginType()));
    m_report.Line("version", version);
    m_report.Line("available", plugin->IsAvailable() ? "yes" : "no");
}

bool HostRunner::QueryLogin() {
    IBasePlugin* plugin = m_session.Plugin();
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(1, &pBase) || !pBase) {
        m_report.Line("login", "interface 1 refused, error " +
                                   std::to_string(plugin ? plugin->GetErrorCode() : -1));
        return false;
    }
    // Number 1 is the login interface by the host contract.
    m_pLogin = static_cast<ILogin2*>(pBase);
    m_pLogin->SetEventHandler(&m_listener);
    m_report.Line("login", "interface 1");
    return true;
}

int HostRunner::SendDeviceEvent(int32_t code) {
    m_report.Line("event", std::to_string(code) + " to " +
                               std::to_string(m_services.device.ListenerCount()) + " listener(s)");
    return m_services.device.SendEvent(code);
}

void HostRunner::Shutdown() {
    if (m_pLogin) {
        m_pLogin->RemoveEventHandler(&m_listener);
        m_pLogin->Release();
        m_pLogin = nullptr;
    }
    if (m_session.Plugin()) {
        m_session.Shutdown();
        m_report.Line("shutdown", "OnDestroy, Release");
    }
}
