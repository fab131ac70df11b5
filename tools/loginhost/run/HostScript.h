// A script of `loginhost run --script FILE`: one step a line, driving the plug-in the way a host
// would over a session. Blank lines and lines starting with '#' or ';' are ignored. Given
// --timeout, no step waits past the end of the run's time.
//
//   event CODE                 device event to the registered listeners (50082, 50083, ...)
//   wait-event CODE [SECONDS]  wait for the card (a modem) to report one more such event than
//                              the wait-event steps before took (default: --timeout)
//   start-login                ILogin::StartLogin
//   wait-login [SECONDS]       wait for the login, printing progress (default: --timeout)
//   wait-logout [SECONDS]      wait for the success flag to drop (a SIM change)
//   wait-trace SECONDS TEXT    wait for a trace record of the plug-in whose message holds TEXT
//   sleep SECONDS              wait, printing progress (fractions allowed)
//   set card.KEY=VALUE         change the data card: imsi, spn, imsi_errors, spn_errors,
//                              imsi_error, spn_error, comm (as in card.ini; read results restart)
//   set net.KEY=VALUE          connect_state, check_result (as in net.ini)
//   query NUMBER               QueryInterface(NUMBER) and what the interface gives
//   check-sim-type [TYPE]      ILogin::CheckSimCardType(TYPE)
//   show-settings              the settings dialog (interface 20498)
//   add-listener NAME          one more skin-change listener (SetEventHandler); again: twice
//   remove-listener NAME       RemoveEventHandler of an added listener ("host": the host's own)
//   destroy                    the results, then OnDestroy and Release; only sleep and expect
//                              may follow
//   expect login true|false    the run stops, status 1, when an expectation does not hold
//   expect error CODE          the login object's state code
//   expect skin LISTENER N     skin changes the listener was told of so far
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "HostReport.h"
#include "HostRunner.h"

struct ScriptStep {
    enum class Kind {
        kEvent,
        kStartLogin,
        kWaitLogin,
        kWaitLogout,
        kWaitTrace,
        kWaitEvent,
        kSleep,
        kSetCard,
        kSetNet,
        kQuery,
        kCheckSimType,
        kShowSettings,
        kAddListener,
        kRemoveListener,
        kDestroy,
        kExpectLogin,
        kExpectError,
        kExpectSkin,
    };
    Kind kind;
    int line = 0;
    std::string text;  // the line as written, trimmed
    int32_t number = 0;
    double seconds = -1;  // a wait without a time: -1
    std::string key;      // set: the key; listener and expect skin: the name
    std::string value;    // set: the value; check-sim-type, wait-trace: the text
    bool flag = false;    // expect login
};

class HostScript {
public:
    // False with error "FILE:LINE: what" for a step that is not understood.
    bool Load(const std::string& path, std::string& error);
    bool Parse(const std::string& name, const std::string& text, std::string& error);
    // What `run` does without a script: device event 50082, StartLogin, wait for the login.
    // A card that reports its own events (a modem) sends 50082 when it is ready: the caller
    // waits for it first instead.
    static HostScript Default(bool bCardReports = false);
    // The first step that sets the simulated card, or null.
    const ScriptStep* FirstSetCard() const;

    const std::vector<ScriptStep>& Steps() const { return m_steps; }

private:
    std::vector<ScriptStep> m_steps;
};

// Where a script run ended.
struct ScriptResult {
    LoginOutcome outcome;
    bool bExpectationsHeld = true;
};

// Runs the steps against a started runner whose login interface is known; the outcome is taken
// before `destroy` or at the end (the runner is not shut down here). waitSeconds is the time of a
// wait without one. No wait lasts past `end`, and after it only `expect` steps are taken.
ScriptResult RunScript(
    const HostScript& script, HostRunner& runner, HostReport& report, double waitSeconds,
    std::chrono::steady_clock::time_point end = std::chrono::steady_clock::time_point::max());
