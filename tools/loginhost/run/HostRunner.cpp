#include "HostRunner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <cstdio>
#include <thread>

#include "ILoginResponse.h"
#include "IProxyInfo.h"
#include "ISettingUI.h"
#include "LoginSettings.h"
#include "PluginIds.h"
#include "libs/trace/TracePath.h"
#include "platform/registry.h"
#include "platform/textcodec.h"

namespace {

// How often a wait looks at the plug-in.
constexpr std::chrono::milliseconds kPollInterval(100);

}  // namespace

std::atomic<bool> HostRunner::s_bInterrupted{false};
std::atomic<bool> HostRunner::s_bShutDown{false};

namespace {

void OnInterrupt(int) {
    HostRunner::Interrupt();
}

// How long the host's thread has after an interrupt to shut the plug-in down.
constexpr std::chrono::milliseconds kShutdownGrace(800);
constexpr std::chrono::milliseconds kWatchInterval(50);

// The card of the runner whose interrupts end the program, for the watching thread.
std::mutex g_promptMutex;
CardSource* g_pPromptCard = nullptr;

}  // namespace

void HostRunner::CatchInterrupt() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

void HostRunner::EndPromptlyOnInterrupt() {
    {
        std::lock_guard<std::mutex> lock(g_promptMutex);
        g_pPromptCard = m_services.card.get();
    }
    CatchInterrupt();
    // A signal handler may do next to nothing: a thread of its own acts on the flag.
    std::thread([] {
        while (!s_bInterrupted) std::this_thread::sleep_for(kWatchInterval);
        {
            std::lock_guard<std::mutex> lock(g_promptMutex);
            if (g_pPromptCard) g_pPromptCard->Cancel();
        }
        const auto end = std::chrono::steady_clock::now() + kShutdownGrace;
        while (!s_bShutDown && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(kWatchInterval);
        if (s_bShutDown) return;
        std::fprintf(stderr,
                     "loginhost: interrupted while the plug-in was busy; ending without its "
                     "shutdown\n");
        std::fflush(nullptr);
        std::_Exit(130);
    }).detach();
}

int32_t HostRunner::SkinListener::OnSkinChange(SkinChangeInfo* pInfo) {
    ++m_nNotices;
    if (pInfo) m_report.OnSkinChange(*pInfo, m_strName == "host" ? std::string() : m_strName);
    return 1;
}

void HostRunner::CardEventSink::OnDeviceEvent(int32_t code) {
    m_report.Line("event", std::to_string(code) + " from the card to " +
                               std::to_string(m_device.ListenerCount()) + " listener(s)");
    m_device.SendEvent(code);
    if (code == DEVICE_EVENT_AVAILABLE) ++m_nAvailable;
    if (code == DEVICE_EVENT_CHANGED) ++m_nChanged;
}

void HostRunner::CardEventSink::OnCardNote(const std::string& text) {
    m_report.Line("card", text);
}

int HostRunner::CardEventSink::Count(int32_t code) const {
    if (code == DEVICE_EVENT_AVAILABLE) return m_nAvailable;
    if (code == DEVICE_EVENT_CHANGED) return m_nChanged;
    return 0;
}

HostRunner::HostRunner(HostProfile& profile, HostReport& report, std::unique_ptr<CardSource> card)
    : m_report(report),
      // The plug-in's trace: in the directory LOGINPLUGIN_TRACE_DIR names, else the current one.
      m_progress(report, TracePath(LOGIN_TRACE_FILE)),
      m_services(profile, &report, std::move(card)),
      m_cardEvents(report, m_services.device),
      m_watchedSetting(m_services.setting,
                       [this](const std::string& section, const std::string& url) {
                           m_progress.OnUrlRead(section, url);
                           if (!url.empty() && m_onRequest) m_onRequest();
                       }),
      m_card(profile.card) {
    m_services.Register(m_container);
    m_container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &m_watchedSetting);
    m_listeners.emplace_back(report, "host");
}

HostRunner::~HostRunner() {
    Shutdown();
    std::lock_guard<std::mutex> lock(g_promptMutex);
    if (g_pPromptCard == m_services.card.get()) g_pPromptCard = nullptr;
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
    m_pLogin->SetEventHandler(&m_listeners.front());
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
    const double start = Elapsed();
    int* taken = code == DEVICE_EVENT_AVAILABLE ? &m_nTakenAvailable
                 : code == DEVICE_EVENT_CHANGED ? &m_nTakenChanged
                                                : nullptr;
    const std::string what = "card event " + std::to_string(code);
    if (!taken) {
        ReportWait(false, what.c_str(), ("no " + what).c_str(), start);
        return false;
    }
    m_nWaitedCode = code;
    m_nWaitedCount = *taken + 1;
    Wait(seconds, Until::kCardEvent);
    const bool seen = CardEvents(code) >= m_nWaitedCount;
    if (seen) ++*taken;
    ReportWait(seen, what.c_str(), ("no " + what).c_str(), start);
    return seen;
}

bool HostRunner::StartLogin() {
    if (!m_pLogin) return false;
    const bool started = m_pLogin->StartLogin();
    m_report.Line("start", std::string("StartLogin ") + (started ? "true" : "false"));
    return started;
}

void HostRunner::Wait(double seconds, Until until) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    for (;;) {
        Poll();
        if (until == Until::kTrace && m_progress.TraceSeen()) return;
        if (until == Until::kCardEvent && CardEvents(m_nWaitedCode) >= m_nWaitedCount) return;
        if ((until == Until::kLoggedIn || until == Until::kLoggedOut) && m_pLogin &&
            m_pLogin->IsLoginSuccess() == (until == Until::kLoggedIn)) {
            return;
        }
        if (s_bInterrupted) return;
        const auto now = Clock::now();
        if (now >= end) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(kPollInterval, end - now));
    }
}

void HostRunner::ReportWait(bool bReached, const char* reached, const char* missed, double start) {
    char waited[32];
    std::snprintf(waited, sizeof waited, " after %.1f s", Elapsed() - start);
    m_report.Line("wait", std::string(bReached ? reached : missed) + waited +
                              (s_bInterrupted ? " (interrupted)" : ""));
}

bool HostRunner::WaitLogin(double seconds) {
    if (!m_pLogin) return false;
    const double start = Elapsed();
    Wait(seconds, Until::kLoggedIn);
    const bool success = m_pLogin->IsLoginSuccess();
    ReportWait(success, "logged in", "not logged in", start);
    return success;
}

bool HostRunner::WaitLogout(double seconds) {
    if (!m_pLogin) return false;
    const double start = Elapsed();
    Wait(seconds, Until::kLoggedOut);
    const bool success = m_pLogin->IsLoginSuccess();
    ReportWait(!success, "logged out", "still logged in", start);
    return !success;
}

bool HostRunner::WaitTrace(double seconds, const std::string& text) {
    const double start = Elapsed();
    m_progress.WatchTrace(Utf8ToGbk(text));
    Wait(seconds, Until::kTrace);
    const bool seen = m_progress.TraceSeen();
    m_progress.WatchTrace({});
    const std::string what = "trace \"" + text + "\"";
    ReportWait(seen, what.c_str(), ("no " + what).c_str(), start);
    return seen;
}

void HostRunner::Pause(double seconds) {
    Wait(seconds, Until::kTime);
}

void HostRunner::Poll() {
    m_progress.Poll(m_pLogin);
}

bool HostRunner::QueryLoginResponse(std::string& encodeKey, std::string& sessionId) {
    IBasePlugin* plugin = m_session.Plugin();
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(IID_LOGIN_RESPONSE, &pBase) || !pBase) return false;
    // The result object is the host's: its Release destroys it.
    auto* pResponse = static_cast<ILoginResponse*>(pBase);
    encodeKey = GbkToUtf8(pResponse->GetEncodeKey());
    sessionId = GbkToUtf8(pResponse->GetSessionID());
    pResponse->Release();
    return true;
}

bool HostRunner::QueryRegResponse(std::string& password) {
    IBasePlugin* plugin = m_session.Plugin();
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(IID_REG_RESPONSE, &pBase) || !pBase) return false;
    auto* pResponse = static_cast<IRegResponse*>(pBase);
    password = GbkToUtf8(pResponse->GetPassword());
    pResponse->Release();
    return true;
}

void HostRunner::Query(int32_t number) {
    IBasePlugin* plugin = m_session.Plugin();
    if (!plugin) return;
    const std::string what = std::to_string(number) + ": ";
    std::string a, b;
    if (number == IID_LOGIN_RESPONSE && QueryLoginResponse(a, b)) {
        m_report.Line("query", what + "encodekey=" + a + " sessionid=" + b);
        return;
    }
    if (number == IID_REG_RESPONSE && QueryRegResponse(a)) {
        m_report.Line("query", what + "password=" + a);
        return;
    }
    IBaseInterface* pBase = nullptr;
    if (number == IID_LOGIN_RESPONSE || number == IID_REG_RESPONSE ||
        !plugin->QueryInterface(number, &pBase) || !pBase) {
        m_report.Line("query", what + "refused, error " + std::to_string(plugin->GetErrorCode()));
        return;
    }
    if (number == IID_LOGIN || number == IID_LOGIN_ALIAS) {
        m_report.Line("query", what + (pBase == m_pLogin ? "the login object" : "another object"));
    } else if (number == IID_PROXY_INFO) {
        auto* pProxy = static_cast<IProxyInfo*>(pBase);
        m_report.Line("query", what + "proxy type=" + std::to_string(pProxy->GetProxyType()) +
                                   " address=" + GbkToUtf8(pProxy->GetProxyAddress()) +
                                   " port=" + GbkToUtf8(pProxy->GetProxyPort()) +
                                   " user=" + GbkToUtf8(pProxy->GetProxyUser()) +
                                   " password=" + GbkToUtf8(pProxy->GetProxyPassword()));
    } else if (number == IID_SETTING_UI) {
        auto* pSettingUI = static_cast<ISettingUI*>(pBase);
        m_report.Line("query",
                      what + "settings menu \"" + GbkToUtf8(pSettingUI->GetMenuText()) + "\"");
    } else {
        m_report.Line("query", what + "an interface");
    }
    // The plug-in owns these objects: their Release does nothing.
    pBase->Release();
}

void HostRunner::CheckSimType(const std::string& simType) {
    if (!m_pLogin) return;
    m_report.Line("check", "CheckSimCardType(\"" + simType + "\")");
    m_pLogin->CheckSimCardType(Utf8ToGbk(simType));
    Poll();
}

int32_t HostRunner::ShowSettings() {
    IBasePlugin* plugin = m_session.Plugin();
    IBaseInterface* pBase = nullptr;
    if (!plugin || !plugin->QueryInterface(IID_SETTING_UI, &pBase) || !pBase) {
        m_report.Line("dialog", "interface 20498 refused");
        return -1;
    }
    const int32_t result = static_cast<ISettingUI*>(pBase)->ShowSettingDialog();
    m_report.Line("dialog", std::to_string(result));
    return result;
}

HostRunner::SkinListener* HostRunner::FindListener(const std::string& name) {
    for (SkinListener& listener : m_listeners)
        if (listener.Name() == name) return &listener;
    return nullptr;
}

bool HostRunner::AddListener(const std::string& name) {
    if (!m_pLogin) return false;
    SkinListener* listener = FindListener(name);
    if (!listener) {
        m_listeners.emplace_back(m_report, name);
        listener = &m_listeners.back();
    }
    const bool added = m_pLogin->SetEventHandler(listener);
    m_report.Line("listener", name + (added ? " added" : " refused"));
    return added;
}

bool HostRunner::RemoveListener(const std::string& name) {
    SkinListener* listener = FindListener(name);
    if (!m_pLogin || !listener) return false;
    const bool removed = m_pLogin->RemoveEventHandler(listener);
    m_report.Line("listener", name + (removed ? " removed" : " not removed"));
    return removed;
}

int HostRunner::SkinNotices(const std::string& name) const {
    for (const SkinListener& listener : m_listeners)
        if (listener.Name() == name) return listener.Notices();
    return -1;
}

void HostRunner::SetCard(const CardProfile& card) {
    m_card = card;
    if (m_services.simulated) m_services.simulated->SetCard(card);
}

void HostRunner::ServeNetwork(INetConnect& net, ICheckNetConnection& check) {
    m_container.Serve(PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT, &net);
    m_container.Serve(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION, &check);
}

std::string HostRunner::Identity() const {
    if (!m_services.simulated) {
        // A real card: what it gives now.
        char imsi[MTS_IMSI_BUFFER_SIZE] = {};
        int32_t error = 0;
        if (m_services.card->ReadImsi(imsi, sizeof imsi, error) && imsi[0]) return imsi;
        return DefaultIdentity();
    }
    // A card that gives its IMSI (its read results end in success) signs in with it.
    const bool bReads =
        m_card.bComm && (m_card.imsiResults.empty() || m_card.imsiResults.back() == 0);
    if (bReads && !m_card.imsi.empty()) return m_card.imsi;
    return DefaultIdentity();
}

std::string HostRunner::DefaultIdentity() {
    // The plug-in's default identity: "9" and the 14 stored characters.
    RegKey key = RegKey::OpenCurrentUser(LOGIN_REGISTRY_IDENTITY_KEY, RegAccess::Read);
    char stored[32] = {};
    uint32_t size = sizeof stored;
    if (key.IsOpen() && key.QueryValue(LOGIN_REGISTRY_IDENTITY_VALUE, stored, size) && size == 15) {
        return "9" + std::string(stored, 14);
    }
    return {};
}

LoginOutcome HostRunner::Outcome() {
    LoginOutcome outcome;
    Poll();
    if (!m_pLogin) return outcome;
    outcome.nError = m_pLogin->GetErrorCode();
    outcome.imsi = Identity();
    outcome.bLogin = m_pLogin->IsLoginSuccess() &&
                     QueryLoginResponse(outcome.encodeKey, outcome.sessionId) &&
                     QueryRegResponse(outcome.password);
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
        for (SkinListener& listener : m_listeners) m_pLogin->RemoveEventHandler(&listener);
        m_container.Withdraw(PLUGIN_ID_LOGIN, IID_LOGIN);
        m_pLogin->Release();
        m_pLogin = nullptr;
    }
    if (m_session.Plugin()) {
        m_session.Shutdown();
        m_report.Line("shutdown", "OnDestroy, Release");
    }
    s_bShutDown = true;
}
