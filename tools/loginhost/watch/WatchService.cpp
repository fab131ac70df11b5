#include "WatchService.h"

#include <gio/gio.h>
#include <glib-unix.h>

#include <csignal>
#include <functional>
#include <memory>

#include "LoginSettings.h"
#include "WatchLines.h"
#include "WatchState.h"

namespace {

// After a change, the plug-in acts within its one-second pass: two passes and a half cover it.
constexpr double kPollAfterChange = 2.5;
constexpr unsigned kPollIntervalMs = 100;

std::unique_ptr<WatchCard> MakeCard(WatchCard*& pCard, bool bNameFallback,
                                    std::function<void()> onNoSpn, OperatorTable operators) {
    auto card =
        std::make_unique<WatchCard>(bNameFallback, std::move(onNoSpn), std::move(operators));
    pCard = card.get();
    return card;
}

}  // namespace

WatchService::WatchService(HostProfile& profile, HostReport& report, const std::string& modemId,
                           OperatorTable operators, bool bNotify)
    : m_report(report),
      m_strProfileDir(profile.Dir()),
      m_bNotify(bNotify),
      m_runner(profile, report,
               MakeCard(
                   m_pCard, profile.strings.count(STRING_DEFAULT_BRAND_NAME) > 0,
                   [this] { OnNoSpn(); }, std::move(operators))),
      m_net([this](const char* what, int32_t answer) { OnAsked(what, answer); }),
      m_modems(modemId, [this](const ModemSnapshot& now) { OnModem(now); }),
      m_network([this](const NetworkSnapshot& now) { OnNetwork(now); }),
      m_bus(report),
      m_notifier(report) {
    m_runner.ServeNetwork(m_net.Connect(), m_net.Check());
    m_runner.OnRequestDue([this] { OnRequestDue(); });
}

WatchService::~WatchService() {
    if (m_pollTimer) g_source_remove(m_pollTimer);
    m_runner.Shutdown();
    if (m_pLoop) g_main_loop_unref(m_pLoop);
}

int WatchService::Run(const std::string& pluginPath) {
    std::string error;
    GError* pError = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &pError);
    if (!bus) {
        m_report.Line("error", std::string("system bus: ") + pError->message);
        g_clear_error(&pError);
        return 2;
    }
    if (!m_runner.Start(pluginPath, error)) {
        m_report.Line("error", error);
        g_object_unref(bus);
        return 2;
    }
    m_runner.Identify();
    StartSessionBus();
    m_pLoop = g_main_loop_new(nullptr, FALSE);
    // A stop that comes while the services are first looked at is kept for the loop.
    g_unix_signal_add(SIGINT, reinterpret_cast<GSourceFunc>(OnStopSignal), this);
    g_unix_signal_add(SIGTERM, reinterpret_cast<GSourceFunc>(OnStopSignal), this);
    const bool bClients = m_network.Start(error) && m_modems.Start(bus, error);
    g_object_unref(bus);
    if (!bClients) {
        m_report.Line("error", error);
        return 2;
    }
    if (m_nExit != 0) return m_nExit;
    m_report.Line("watch", "serving the plug-in from the system bus; SIGINT or SIGTERM stops");
    g_main_loop_run(m_pLoop);
    m_runner.Poll();
    m_runner.Shutdown();
    return m_nExit;
}

void WatchService::StartSessionBus() {
    GError* pError = nullptr;
    GDBusConnection* session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &pError);
    if (!session) {
        m_report.Line("notify", std::string("no session bus (") + pError->message +
                                    "): no notices, and the state is not published");
        g_clear_error(&pError);
        return;
    }
    m_bus.Start(session);
    if (m_bNotify) m_notifier.Start(session);
    g_object_unref(session);
}

void WatchService::Publish() {
    WatchFacts facts;
    facts.bModemSeen = m_bModemSeen;
    facts.modem = m_modem;
    ILogin2* pLogin = m_runner.Login();
    if (pLogin) {
        facts.bLoggedIn = pLogin->IsLoginSuccess();
        facts.bLogining = pLogin->DetectIsLogining() == 0;
        facts.nState = pLogin->GetErrorCode();
    }
    facts.bHeld = m_nHeld != 0;
    {
        std::lock_guard<std::mutex> lock(m_noSpnMutex);
        facts.bNoSpn = !m_modem.simPath.empty() && m_modem.simPath == m_strNoSpnSaid;
    }
    WatchBusState state;
    state.state = WatchStateWord(facts);
    state.errorCode = facts.nState;
    state.bLoggedIn = facts.bLoggedIn;
    state.modem = m_modem.equipmentId;
    state.lastAttempt = static_cast<uint64_t>(m_lastAttempt.load());
    state.attempts = static_cast<uint32_t>(m_nAttempts.load());
    m_bus.Set(state);

    // One notice per SIM object; a SIM that comes back signed in, as it was, is no news.
    const std::string sim = m_modem.simPath.empty() ? m_modem.modemPath : m_modem.simPath;
    const WatchNotice notice = WatchNoticeFor(facts, m_strProfileDir);
    if (notice.key == "signed-in" && !m_signedIn.insert(m_modem.imsi).second &&
        m_notifier.Shown(sim).empty()) {
        return;
    }
    m_notifier.Show(sim, notice);
}

int WatchService::OnStopSignal(void* self) {
    auto* service = static_cast<WatchService*>(self);
    service->m_report.Line("stop", "signal");
    g_main_loop_quit(service->m_pLoop);
    return G_SOURCE_CONTINUE;
}

void WatchService::OnModem(const ModemSnapshot& now) {
    for (const WatchLine& line : DescribeModemChange(m_modem, now, !m_bModemSeen)) {
        m_report.Record(line.what.c_str(), line.text, line.fields);
    }
    m_bModemSeen = true;
    m_modem = now;
    m_network.SetModem(now.modemPath);  // its device's state is the card's connect state
    m_pCard->Update(now);  // the device events go out from here, once the plug-in listens
    StartLoginOnce();
    PollFor(kPollAfterChange);
    Publish();
}

void WatchService::OnNetwork(const NetworkSnapshot& now) {
    for (const WatchLine& line : DescribeNetworkChange(m_networkState, now, !m_bNetworkSeen)) {
        m_report.Record(line.what.c_str(), line.text, line.fields);
    }
    m_bNetworkSeen = true;
    m_networkState = now;
    m_net.Update(now);
    PollFor(kPollAfterChange);
    Publish();
}

void WatchService::OnNoSpn() {
    // Said once for each SIM; the plug-in reads the name at every brand check.
    const std::string sim = m_pCard->Current().simPath;
    std::lock_guard<std::mutex> lock(m_noSpnMutex);
    if (sim == m_strNoSpnSaid) return;
    m_strNoSpnSaid = sim;
    m_report.Record("held", DescribeNoSpn(m_pCard->Current().operatorId),
                    "\"by\":\"ReadSpn\",\"answer\":" + std::to_string(kCardErrorNoSpn));
    PollSoon();  // the person is told from the host's thread
}

void WatchService::StartLoginOnce() {
    if (m_bLoginStarted || m_nExit != 0 || !m_pCard->Current().IsReady()) return;
    // The login object is made, and the login started, with the first SIM that is ready: the
    // object reads the SIM's name when it is made, and waits for a busy card on the calling
    // thread, which here is the one that hears the bus; and with no card at all the plug-in
    // would sign a made-up identity in. From then on the plug-in follows the card by itself.
    if (!m_runner.Login() && !m_runner.QueryLogin()) {
        m_nExit = 2;
        g_main_loop_quit(m_pLoop);
        return;
    }
    m_bLoginStarted = m_runner.StartLogin();
}

void WatchService::OnAsked(const char* what, int32_t answer) {
    const bool bCheck = std::string(what) == "CheckConnection";
    // The worker asks only when a login is due: an answer that holds it back is said once.
    const int held = bCheck ? (answer == -1 ? 1 : 0) : (answer == 2 || answer == 3 ? 2 : 0);
    if (held != 0 && m_nHeld.exchange(held) != held) {
        m_report.Record(
            "held",
            held == 1 ? "login due, held back: no connectivity (check -1)"
                      : "login due, held back: connect state " + std::to_string(answer),
            std::string("\"by\":") + JsonString(what) + ",\"answer\":" + std::to_string(answer));
    }
    // CheckConnection answering 0 lets the login sequence start; whether it sends anything is
    // seen when it reads the server's URL (it may stop before, e.g. for a SIM without a name).
    if (bCheck && answer == 0) {
        m_nHeld = 0;
        m_bAttemptDue = true;
    }
    PollSoon();
}

void WatchService::PollSoon() {
    // An idle source, never a direct call: the looking is done on the host's thread only.
    g_idle_add(
        [](void* self) -> int {
            static_cast<WatchService*>(self)->PollFor(kPollAfterChange);
            return G_SOURCE_REMOVE;
        },
        this);
}

void WatchService::OnRequestDue() {
    // A sequence may register and then log in: one attempt.
    if (!m_bAttemptDue.exchange(false)) return;
    m_lastAttempt = g_get_real_time() / G_USEC_PER_SEC;
    const int attempt = ++m_nAttempts;
    m_report.Record("login", "attempt " + std::to_string(attempt),
                    "\"attempt\":" + std::to_string(attempt));
}

void WatchService::PollFor(double seconds) {
    const int64_t until = g_get_monotonic_time() + static_cast<int64_t>(seconds * 1e6);
    if (until > m_pollUntil) m_pollUntil = until;
    if (!m_pollTimer) {
        m_pollTimer =
            g_timeout_add(kPollIntervalMs, reinterpret_cast<GSourceFunc>(OnPollTimer), this);
    }
}

int WatchService::OnPollTimer(void* self) {
    auto* service = static_cast<WatchService*>(self);
    service->m_runner.Poll();
    service->Publish();
    ILogin2* pLogin = service->m_runner.Login();
    // A login sequence may take as long as the server; the worker is looked at until it ends.
    const bool bLogining = pLogin && pLogin->DetectIsLogining() == 0;
    if (bLogining || g_get_monotonic_time() < service->m_pollUntil) return G_SOURCE_CONTINUE;
    service->m_pollTimer = 0;
    return G_SOURCE_REMOVE;
}
