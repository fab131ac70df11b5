#include "HostScript.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool ParseSeconds(const std::string& text, double& seconds) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return *end == '\0' && seconds >= 0 && seconds < 86400;
}

bool ParseNumberList(const std::string& text, std::vector<int32_t>& numbers) {
    numbers.clear();
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        int32_t n = 0;
        if (!ParseInt32(Trim(item), n)) return false;
        numbers.push_back(n);
    }
    return !numbers.empty() && text.back() != ',';
}

// Applies one "card.KEY=VALUE" to a card; false with why for an unknown key or a bad value.
bool ApplyCard(CardProfile& card, const std::string& key, const std::string& value,
               std::string& why) {
    if (key == "imsi") {
        card.imsi = value;
    } else if (key == "spn") {
        card.spn = value;
    } else if (key == "imsi_errors" || key == "imsi_error" || key == "spn_errors" ||
               key == "spn_error") {
        std::vector<int32_t> results;
        const bool bList = key.back() == 's';
        if (!ParseNumberList(value, results) || (!bList && results.size() != 1)) {
            why = "bad number" + std::string(bList ? " list" : "") + " for " + key + ": '" + value +
                  "'";
            return false;
        }
        (key.rfind("imsi", 0) == 0 ? card.imsiResults : card.spnResults) = results;
    } else if (key == "comm") {
        if (value != "yes" && value != "no") {
            why = "comm must be yes or no: '" + value + "'";
            return false;
        }
        card.bComm = value == "yes";
    } else {
        why = "unknown card key '" + key +
              "' (known: imsi, spn, imsi_errors, spn_errors, imsi_error, spn_error, comm)";
        return false;
    }
    return true;
}

bool ParseStep(const std::string& text, ScriptStep& step, std::string& why) {
    std::istringstream words(text);
    std::string verb;
    words >> verb;
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(w);
    const std::string rest = Trim(text.substr(verb.size()));
    auto count = [&](size_t n) {
        if (args.size() == n) return true;
        why = "'" + verb + "' takes " + std::to_string(n) + " argument(s)";
        return false;
    };
    auto number = [&](const std::string& a) {
        if (ParseInt32(a, step.number)) return true;
        why = "bad number '" + a + "'";
        return false;
    };
    auto seconds = [&](const std::string& a) {
        if (ParseSeconds(a, step.seconds)) return true;
        why = "bad number of seconds '" + a + "'";
        return false;
    };
    using K = ScriptStep::Kind;
    if (verb == "event") {
        step.kind = K::kEvent;
        return count(1) && number(args[0]);
    }
    if (verb == "wait-event") {
        step.kind = K::kWaitEvent;
        if (args.empty() || args.size() > 2) {
            why = "'wait-event' takes CODE [SECONDS]";
            return false;
        }
        return number(args[0]) && (args.size() == 1 || seconds(args[1]));
    }
    if (verb == "start-login") {
        step.kind = K::kStartLogin;
        return count(0);
    }
    if (verb == "wait-login" || verb == "wait-logout") {
        step.kind = verb == "wait-login" ? K::kWaitLogin : K::kWaitLogout;
        if (args.empty()) return true;
        return count(1) && seconds(args[0]);
    }
    if (verb == "wait-trace") {
        step.kind = K::kWaitTrace;
        if (args.size() < 2) {
            why = "'wait-trace' takes SECONDS TEXT";
            return false;
        }
        step.value = Trim(rest.substr(args[0].size()));  // rest begins with the seconds
        return seconds(args[0]);
    }
    if (verb == "sleep") {
        step.kind = K::kSleep;
        return count(1) && seconds(args[0]);
    }
    if (verb == "set") {
        const size_t equals = rest.find('=');
        const std::string name = Trim(rest.substr(0, equals));
        const size_t dot = name.find('.');
        if (equals == std::string::npos || dot == std::string::npos) {
            why = "'set' takes card.KEY=VALUE or net.KEY=VALUE";
            return false;
        }
        const std::string store = name.substr(0, dot);
        step.key = name.substr(dot + 1);
        step.value = Trim(rest.substr(equals + 1));
        if (store == "card") {
            step.kind = K::kSetCard;
            CardProfile probe;
            return ApplyCard(probe, step.key, step.value, why);
        }
        if (store == "net") {
            step.kind = K::kSetNet;
            if (step.key != "connect_state" && step.key != "check_result") {
                why = "unknown net key '" + step.key + "' (known: connect_state, check_result)";
                return false;
            }
            return number(step.value);
        }
        why = "unknown store '" + store + "' (known: card, net)";
        return false;
    }
    if (verb == "query") {
        step.kind = K::kQuery;
        return count(1) && number(args[0]);
    }
    if (verb == "check-sim-type") {
        step.kind = K::kCheckSimType;
        step.value = rest;
        return true;
    }
    if (verb == "show-settings") {
        step.kind = K::kShowSettings;
        return count(0);
    }
    if (verb == "add-listener" || verb == "remove-listener") {
        step.kind = verb == "add-listener" ? K::kAddListener : K::kRemoveListener;
        if (!count(1)) return false;
        step.key = args[0];
        return true;
    }
    if (verb == "destroy") {
        step.kind = K::kDestroy;
        return count(0);
    }
    if (verb == "expect") {
        const std::string what = args.empty() ? std::string() : args[0];
        if (what == "login" && args.size() == 2 && (args[1] == "true" || args[1] == "false")) {
            step.kind = K::kExpectLogin;
            step.flag = args[1] == "true";
            return true;
        }
        if (what == "error" && args.size() == 2) {
            step.kind = K::kExpectError;
            return number(args[1]);
        }
        if (what == "skin" && args.size() == 3) {
            step.kind = K::kExpectSkin;
            step.key = args[1];
            return number(args[2]);
        }
        why = "'expect' takes: login true|false, error CODE, skin LISTENER COUNT";
        return false;
    }
    why = "unknown step '" + verb + "'";
    return false;
}

bool NeedsPlugin(ScriptStep::Kind kind) {
    using K = ScriptStep::Kind;
    return kind != K::kSleep && kind != K::kExpectLogin && kind != K::kExpectError &&
           kind != K::kExpectSkin;
}

// The login object as an expectation sees it, after the host has looked at what changed.
bool LoggedIn(HostRunner& runner) {
    runner.Poll();
    return runner.Login() && runner.Login()->IsLoginSuccess();
}

int32_t StateCode(HostRunner& runner) {
    runner.Poll();
    return runner.Login() ? runner.Login()->GetErrorCode() : 0;
}

// "FILE:LINE: " and the texts: where a script went wrong, and what.
template <typename... Texts>
std::string At(const std::string& name, int line, const Texts&... texts) {
    std::string out = name + ":" + std::to_string(line) + ": ";
    (out.append(texts), ...);
    return out;
}

}  // namespace

bool HostScript::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return Parse(path, text, error);
}

bool HostScript::Parse(const std::string& name, const std::string& text, std::string& error) {
    std::vector<ScriptStep> steps;
    std::istringstream lines(text);
    std::string raw;
    bool bDestroyed = false;
    std::set<std::string> listeners{"host"};
    for (int number = 1; std::getline(lines, raw); ++number) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        ScriptStep step;
        step.line = number;
        step.text = line;
        std::string why;
        if (!ParseStep(line, step, why)) {
            error = At(name, number, why);
            return false;
        }
        if (step.kind == ScriptStep::Kind::kAddListener) listeners.insert(step.key);
        if (step.kind == ScriptStep::Kind::kRemoveListener && !listeners.count(step.key)) {
            error = At(name, number, "no listener '", step.key, "' was added");
            return false;
        }
        if (bDestroyed && NeedsPlugin(step.kind)) {
            error =
                At(name, number, "'", line, "' after destroy (only sleep and expect may follow)");
            return false;
        }
        bDestroyed = bDestroyed || step.kind == ScriptStep::Kind::kDestroy;
        steps.push_back(step);
    }
    m_steps.swap(steps);
    return true;
}

HostScript HostScript::Default(bool bCardReports) {
    HostScript script;
    std::string error;
    script.Parse("(default)",
                 std::string(bCardReports ? "" : "event 50082\n") + "start-login\nwait-login\n",
                 error);
    return script;
}

const ScriptStep* HostScript::FirstSetCard() const {
    for (const ScriptStep& step : m_steps)
        if (step.kind == ScriptStep::Kind::kSetCard) return &step;
    return nullptr;
}

ScriptResult RunScript(const HostScript& script, HostRunner& runner, HostReport& report,
                       double waitSeconds, std::chrono::steady_clock::time_point end) {
    using K = ScriptStep::Kind;
    using Clock = std::chrono::steady_clock;
    // A wait's time, or what is left of the run's when that is less.
    auto within = [end](double seconds) {
        const auto now = Clock::now();
        if (now >= end) return 0.0;
        return std::min(seconds, std::chrono::duration<double>(end - now).count());
    };
    ScriptResult result;
    bool bDestroyed = false;
    for (const ScriptStep& step : script.Steps()) {
        if (HostRunner::Interrupted()) break;
        const bool bExpect = step.kind == K::kExpectLogin || step.kind == K::kExpectError ||
                             step.kind == K::kExpectSkin;
        if (!bExpect && Clock::now() >= end) continue;
        const double wait = within(step.seconds < 0 ? waitSeconds : step.seconds);
        std::string failure;
        switch (step.kind) {
            case K::kEvent:
                runner.SendDeviceEvent(step.number);
                break;
            case K::kStartLogin:
                runner.StartLogin();
                break;
            case K::kWaitLogin:
                runner.WaitLogin(wait);
                break;
            case K::kWaitLogout:
                runner.WaitLogout(wait);
                break;
            case K::kWaitTrace:
                runner.WaitTrace(wait, step.value);
                break;
            case K::kWaitEvent:
                runner.WaitCardEvent(step.number, wait);
                break;
            case K::kSleep:
                runner.Pause(wait);
                break;
            case K::kSetCard: {
                CardProfile card = runner.Card();
                std::string why;
                ApplyCard(card, step.key, step.value, why);
                runner.SetCard(card);
                report.Line("card", step.key + "=" + step.value);
                break;
            }
            case K::kSetNet:
                if (step.key == "connect_state") {
                    runner.SetConnectState(step.number);
                } else {
                    runner.SetCheckResult(step.number);
                }
                report.Line("net", step.key + "=" + std::to_string(step.number));
                break;
            case K::kQuery:
                runner.Query(step.number);
                break;
            case K::kCheckSimType:
                runner.CheckSimType(step.value);
                break;
            case K::kShowSettings:
                runner.ShowSettings();
                break;
            case K::kAddListener:
                runner.AddListener(step.key);
                break;
            case K::kRemoveListener:
                runner.RemoveListener(step.key);
                break;
            case K::kDestroy:
                result.outcome = runner.Outcome();
                runner.Shutdown();
                bDestroyed = true;
                break;
            case K::kExpectLogin: {
                const bool login = bDestroyed ? result.outcome.bLogin : LoggedIn(runner);
                if (login != step.flag) {
                    failure = std::string("login is ") + (login ? "true" : "false");
                }
                break;
            }
            case K::kExpectError: {
                const int32_t error = bDestroyed ? result.outcome.nError : StateCode(runner);
                if (error != step.number) failure = "the state code is " + std::to_string(error);
                break;
            }
            case K::kExpectSkin: {
                const int notices = runner.SkinNotices(step.key);
                if (notices < 0) {
                    failure = "no listener " + step.key;
                } else if (notices != step.number) {
                    failure = step.key + " was told " + std::to_string(notices) + " time(s)";
                }
                break;
            }
        }
        if (!failure.empty()) {
            report.Line("expect", "FAILED line " + std::to_string(step.line) + ": " + step.text +
                                      ": " + failure);
            result.bExpectationsHeld = false;
            break;
        }
        if (bExpect) {
            report.Line("expect", "ok: " + step.text.substr(7));
        }
    }
    if (!bDestroyed) result.outcome = runner.Outcome();
    return result;
}
