// loginhost run: what a host does at start against a profile (load, CreatePlugin,
// SetPluginContainer, Initialize, identity, the login interface, device event 50082, StartLogin),
// then it waits for the login, prints the results and shuts the plug-in down. A script replaces
// the steps after the login interface. A real card's own 50082 is waited for instead, and a card
// that is there but never ready is not signed in at all: the plug-in would sign in its made-up
// identity. --timeout bounds the whole run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "HostRunner.h"
#include "HostScript.h"
#include "ModemCard.h"

namespace {

// Long enough for the first attempt and the retry at the end of the plug-in's 60-second period.
constexpr double kDefaultTimeoutSeconds = 70;
// How long the modem's port has to answer AT at start.
constexpr std::chrono::seconds kProbeLimit(3);

struct RunOptions : HostOptions {
    std::string script;
    double timeout = kDefaultTimeoutSeconds;
    bool bTimeoutGiven = false;
};

bool ParseRunOptions(const Args& args, RunOptions& options) {
    const OwnOption own = [&options](const Args& a, size_t& i, bool& bBad) {
        if (i + 1 >= a.size()) return false;
        if (a[i] == "--script") {
            options.script = a[++i];
            return true;
        }
        if (a[i] != "--timeout") return false;
        const std::string& text = a[++i];
        options.bTimeoutGiven = true;
        char* end = nullptr;
        options.timeout = std::strtod(text.c_str(), &end);
        bBad = text.empty() || *end != '\0' || !(options.timeout >= 0);
        if (bBad)
            std::fprintf(stderr, "loginhost: --timeout takes seconds, not '%s'\n", text.c_str());
        return true;
    };
    return ParseHostOptions(args, options, {"--profile", "--plugin", "--json"}, nullptr, own);
}

// Waits until `end` for a real card's 50082; false, saying why, when it did not come.
bool WaitReadyCard(HostRunner& runner, HostReport& report,
                   std::chrono::steady_clock::time_point end) {
    const double left = std::max(
        0.0, std::chrono::duration<double>(end - std::chrono::steady_clock::now()).count());
    if (runner.WaitCardEvent(DEVICE_EVENT_AVAILABLE, left)) return true;
    if (!HostRunner::Interrupted()) {
        report.Line("card", "not ready: " + runner.Services().card->NotReadyWhy() +
                                "; no StartLogin without a ready SIM");
    }
    return false;
}

}  // namespace

int CommandRun(const Args& args) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    RunOptions options;
    if (!ParseRunOptions(args, options)) return 2;
    // A script without --timeout has its own waits only.
    const bool bBounded = options.bTimeoutGiven || options.script.empty();
    const auto end = bBounded ? started + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(options.timeout))
                              : Clock::time_point::max();
    // Without a profile every service answers its defaults.
    HostProfile profile;
    if (!options.profile.empty() && !LoadProfile(options.profile, profile)) return 2;
    std::string error;
    const bool bModem = !profile.card.port.empty();
    HostScript script = HostScript::Default(bModem);
    if (!options.script.empty() && !script.Load(options.script, error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<CardSource> card;
    if (bModem) {
        if (const ScriptStep* step = script.FirstSetCard()) {
            std::fprintf(stderr, "loginhost: %s:%d: '%s': the card is a modem (card.ini port=)\n",
                         options.script.c_str(), step->line, step->text.c_str());
            return 2;
        }
        // A port that is missing, held by another program or not the modem's AT port (a
        // diagnostics or GPS port answers nothing) is said at once, and plainly.
        if (!ProbeAtPort(profile.card.port, profile.card.baud, kProbeLimit, error)) {
            std::fprintf(stderr, "loginhost: %s: %s\n", profile.PathOf("card.ini").c_str(),
                         error.c_str());
            return 2;
        }
        ModemOptions modem;
        modem.port = profile.card.port;
        modem.baud = profile.card.baud;
        card = std::make_unique<ModemCard>(modem);
    }

    HostReport report;
    HostRunner runner(profile, report, std::move(card));
    runner.EndPromptlyOnInterrupt();
    if (bBounded) HostInterrupt::EndBy(end);
    if (!runner.Start(options.PluginPath(), error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    runner.Identify();
    ScriptResult result;
    if (runner.QueryLogin()) {
        if (bModem && options.script.empty() && !WaitReadyCard(runner, report, end)) {
            result.outcome = runner.Outcome();
        } else {
            result = RunScript(script, runner, report, options.timeout, end);
        }
    }
    if (HostRunner::Interrupted()) {
        report.Line("stop", "interrupted");
    } else if (!result.outcome.bLogin && Clock::now() >= end) {
        char limit[48];
        std::snprintf(limit, sizeof limit, "time-out (--timeout %g)", options.timeout);
        report.Line("stop", limit);
    }
    report.Outcome(result.outcome);
    runner.Shutdown();
    if (options.bJson) std::printf("%s\n", OutcomeJson(result.outcome).c_str());
    return result.outcome.bLogin && result.bExpectationsHeld ? 0 : 1;
}
