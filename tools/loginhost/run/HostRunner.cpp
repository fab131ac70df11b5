#include "HostRunner.h"

#include <cstdio>
#include <cstdlib>

#include "CardIdentity.h"
#include "HostInterrupt.h"
#include "LoginSettings.h"
#include "PluginIds.h"
#include "PluginQueries.h"
#include "libs/trace/TracePath.h"
#include "platform/textcodec.h"

namespace {

// The plug-in's trace: in the directory the host's environment names, else the current one.
std::string PluginTracePath() {
    const char* dir = std::getenv(LOGIN_TRACE_DIR_ENV);
    return TracePathIn(dir ? dir : "", LOGIN_TRACE_FILE);
}

}  // namespace

void HostRunner::EndPromptlyOnInterrupt() {
    HostInterrupt::EndPromptly(m_services.card.get());
}

HostRunner::HostRunner(HostProfile& profile, HostReport& report, std::unique_ptr<CardSource> card)
    : m_report(report),
      m_progress(report, PluginTracePath()),
      m_wait(
          report, m_progress, [this] { Poll(); }, HostInterrupt::Flag()),
      m_services(profile, &report, std::move(card)),
      m_cardEvents(report, m_services.device),
      m_watchedSetting(m_services.setting,
                       [this](const std::string& section, const std::string& url) {
                           m_progress.OnUrlRead(section, url);
                           if (!url.empty() && m_onRequest) m_onRequest();
                       }),
      m_card(profile.card),
      m_listeners(report) {
    m_services.Register(m_container);
    m_container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &m_watchedSetting);
}

HostRunner::~HostRunner() {
    Shutdown();
    HostInterrupt::Forget(m_services.card.get());
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
    // What the plug-in will read at each login sequence.
    std::string strict;
    std::string caFile;
    if (m_services.setting.GetSysSetting(SETTING_SECURITY_STRICT.section,
                                         SETTING_SECURITY_STRICT.key, strict) &&
        strict == "1") {
        m_services.setting.GetSysSetting(SETTING_SECURITY_CAFILE.section,
                                         SETTING_SECURITY_CAFILE.key, caFile);
        m_report.Line("security", caFile.empty() ? std::string("strict")
                                                 : "strict, CAFILE=" + GbkToUtf8(caFile));
    } else {
        m_report.Line("security", "default");
    }
}

bool HostRunner::QueryLogin() {
    IBasePlugin* plugin = m_session.Plugin();
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(IID_LOGIN, &pBase) || !pBase) {
        m_report.Line("login", "interface 1 refused, error " +
                                   std::to_string(plugin ? plugin->GetErrorCode() : -1));
        return false;
    }
    // Number 1 is the login interface by the host contract.
    m_pLogin = static_cast<ILogin2*>(pBase);
    // A host serves every plug-in to the others: the settings dialog finds the login there.
    m_container.Serve(PLUGIN_ID_LOGIN, IID_LOGIN, pBase);
    m_listeners.RegisterHost(*m_pLogin);
    m_report.Line("login", "interface 1");
    // The login object listens to device events now, so none of the card's is lost.
    m_services.card->Start(m_cardEvents);
    m_bCardStarted = true;
    return true;
}

int HostRunner::SendDeviceEvent(int32_t code) {
    m_report.Line("event", std::to_string(code) + " to " +
                               std::to_string(m_services.device.ListenerCount()) + " listener(s)");
    const int told = m_services.device.SendEvent(code);
    Poll();
    return told;
}

int HostRunner::CardEvents(int32_t code) const {
    return m_cardEvents.Count(code);
}

bool HostRunner::WaitCardEvent(int32_t code, double seconds) {
    const std::string what = "card event " + std::to_string(code);
    if (!CardEventLog::Counted(code)) {
        m_wait.Report(false, what, "no " + what, Elapsed());
        return false;
    }
    // One more than earlier waits took.
    const int wanted = m_cardEvents.Taken(code) + 1;
    const bool seen = m_wait.Reported(
        seconds, [&] { return m_cardEvents.Count(code) >= wanted; }, what, "no " + what);
    if (seen) m_cardEvents.Take(code);
    return seen;
}

bool HostRunner::StartLogin() {
    if (!m_pLogin) return false;
    const bool started = m_pLogin->StartLogin();
    m_report.Line("start", std::string("StartLogin ") + (started ? "true" : "false"));
    return started;
}

bool HostRunner::WaitLogin(double seconds) {
    if (!m_pLogin) return false;
    ILogin2* login = m_pLogin;
    return m_wait.Reported(
        seconds, [login] { return login->IsLoginSuccess(); }, "logged in", "not logged in");
}

bool HostRunner::WaitLogout(double seconds) {
    if (!m_pLogin) return false;
    ILogin2* login = m_pLogin;
    return m_wait.Reported(
        seconds, [login] { return !login->IsLoginSuccess(); }, "logged out", "still logged in");
}

bool HostRunner::WaitTrace(double seconds, const std::string& text) {
    const std::string what = "trace \"" + text + "\"";
    m_progress.WatchTrace(Utf8ToGbk(text));
    const bool seen = m_wait.Reported(
        seconds, [this] { return m_progress.TraceSeen(); }, what, "no " + what);
    m_progress.WatchTrace({});
    return seen;
}

void HostRunner::Pause(double seconds) {
    m_wait.Until(seconds, nullptr);
}

void HostRunner::Poll() {
    m_progress.Poll(m_pLogin);
}

void HostRunner::Query(int32_t number) {
    if (IBasePlugin* plugin = m_session.Plugin()) ReportQuery(*plugin, number, m_pLogin, m_report);
}

void HostRunner::CheckSimType(const std::string& simType) {
    if (!m_pLogin) return;
    m_report.Line("check", "CheckSimCardType(\"" + simType + "\")");
    m_pLogin->CheckSimCardType(Utf8ToGbk(simType));
    Poll();
}

int32_t HostRunner::ShowSettings() {
    return ShowSettingDialog(m_session.Plugin(), m_report);
}

bool HostRunner::AddListener(const std::string& name) {
    return m_pLogin && m_listeners.Add(*m_pLogin, name);
}

bool HostRunner::RemoveListener(const std::string& name) {
    return m_pLogin && m_listeners.Remove(*m_pLogin, name);
}

int HostRunner::SkinNotices(const std::string& name) const {
    return m_listeners.Notices(name);
}

void HostRunner::SetCard(const CardProfile& card) {
    m_card = card;
    if (m_services.simulated) m_services.simulated->SetCard(card);
}

void HostRunner::ServeNetwork(INetConnect& net, ICheckNetConnection& check) {
    m_container.Serve(PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT, &net);
    m_container.Serve(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION, &check);
}

LoginOutcome HostRunner::Outcome() {
    LoginOutcome outcome;
    Poll();
    if (!m_pLogin) return outcome;
    outcome.nError = m_pLogin->GetErrorCode();
    outcome.imsi = CardIdentity(m_services, m_card);
    IBasePlugin* plugin = m_session.Plugin();
    outcome.bLogin = m_pLogin->IsLoginSuccess() && plugin &&
                     QueryLoginResponse(*plugin, outcome.encodeKey, outcome.sessionId) &&
                     QueryRegResponse(*plugin, outcome.password);
    return outcome;
}

void HostRunner::Shutdown() {
    if (m_bCardStarted) {
        // The plug-in may be reading the card for an event: its reads end now.
        m_services.card->Cancel();
        m_services.card->Stop();
        m_bCardStarted = false;
    }
    if (m_pLogin) {
        m_listeners.RemoveAll(*m_pLogin);
        m_container.Withdraw(PLUGIN_ID_LOGIN, IID_LOGIN);
        m_pLogin->Release();
        m_pLogin = nullptr;
    }
    if (m_session.Plugin()) {
        m_session.Shutdown();
        m_report.Line("shutdown", "OnDestroy, Release");
    }
    HostInterrupt::ShutDown();
}
