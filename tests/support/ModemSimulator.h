// A data card's AT port on a pseudo-terminal, scripted per test: the IMSI, the SPN file, the
// SIM's presence, results per command (device errors, no answer), silence, unsolicited lines,
// and unplugging (the pseudo-terminal closes) and plugging in again (a new one behind the same
// link); also the ways modems end commands (no final result, words of their own), set-up it
// refuses and a flood. It answers on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct ModemScript {
    std::string imsi = "460001234567890";
    std::vector<uint8_t> spnFile;  // EF_SPN: display condition, then the name
    bool bSim = true;
    bool bSilent = false;                  // answers nothing at all
    std::vector<std::string> unsolicited;  // sent before every answer
    // Results of successive commands, by name ("AT+CIMI", "AT+CRSM", "AT+CPIN"): 0 answers, N
    // answers +CME ERROR: N, -1 answers nothing. The last one repeats.
    std::map<std::string, std::vector<int>> results;
    int crsmStatus1 = 144;  // the SIM's status words for the SPN file
    int crsmStatus2 = 0;
    // The forms of other modems.
    std::string pin = "READY";       // the SIM's state: READY, SIM PIN, SIM PUK
    std::string cpinForm = "blank";  // +CPIN: READY (blank), +CPIN:READY (tight), "READY" (quoted)
    bool bCimiTag = false;           // +CIMI: 460...
    bool bCrsmUnquoted = false;      // +CRSM: 144,0,0180...
    bool bCrOnly = false;            // lines end in CR alone
    bool bUrcInside = false;         // unsolicited lines between the answer's lines and its result
    bool bVerbose = false;           // device errors by name, whatever AT+CMEE says
    bool bNumeric = false;           // starts in numeric mode (0 for OK) until ATV1
    bool bEchoStuck = false;         // echoes even after ATE0
    bool bSplit = false;             // writes its answers a few bytes at a time
    // Modems that end a command their own way.
    std::set<std::string> noFinal;  // commands answered without a final result
    std::string okLine;             // said in place of OK
    std::string errorLine;          // said in place of every error (MODEM ERROR: 5, NA, ...)
    bool bRefuseCombined = false;   // refuses ATE0V1 but takes ATE0 and ATV1 alone
    std::string flood;              // from this command on, writes lines without pause

    // One setting a line, "#" comments:
    //   imsi DIGITS | sim yes|no | silent yes|no | unsolicited LINE
    //   spn-gsm TEXT (ASCII) | spn-ucs2 TEXT (UTF-8) | spn-hex HEX (the whole file)
    //   results COMMAND N,N,...  | crsm-status SW1 SW2
    //   pin ready|sim-pin|sim-puk | cpin-form blank|tight|quoted
    //   cimi-tag, crsm-unquoted, cr-only, urc-inside, verbose-errors, numeric, echo-stuck,
    //   split, refuse-combined: yes|no
    //   no-final COMMAND (again for more) | ok-line TEXT | error-line TEXT | flood COMMAND
    // False with "LINE: why".
    bool Parse(const std::string& text, std::string& error);
    // Applies one line.
    bool Apply(const std::string& line, std::string& why);
};

class ModemSimulator {
public:
    // link: a symbolic link kept pointing at the current pseudo-terminal (empty: none).
    explicit ModemSimulator(ModemScript script, std::string link = {});
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator&) = delete;
    ModemSimulator& operator=(const ModemSimulator&) = delete;

    // Opens a new pseudo-terminal and answers on it; false with error.
    bool Plug(std::string& error);
    // Closes it: the host's port hangs up.
    void Unplug();
    // The link when there is one, else the pseudo-terminal.
    std::string Path() const;
    std::string Terminal() const;

    // Changes the script between answers.
    void Change(const std::function<void(ModemScript&)>& change);
    // Each command as it comes, on the simulator's thread.
    void OnCommand(std::function<void(const std::string&)> callback);
    std::vector<std::string> Commands() const;
    // How many commands so far start with prefix.
    size_t Count(const std::string& prefix) const;
    // Waits for the count; the limit only guards a test against hanging.
    bool WaitFor(const std::string& prefix, size_t count, int limitMs);

private:
    void Serve(int master);
    void Answer(int master, const std::string& command);
    // With the lock held: the bytes that answer command, empty for none.
    std::string Reply(const std::string& command);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ModemScript m_script;
    std::map<std::string, size_t> m_next;
    std::vector<std::string> m_commands;
    std::function<void(const std::string&)> m_onCommand;
    bool m_bEcho = true;
    bool m_bCmee = false;
    bool m_bNumeric = false;
    std::atomic<bool> m_bFlooding{false};
    const std::string m_strLink;
    std::string m_strTerminal;
    int m_slave = -1;  // kept open so the master never sees a hang-up between the host's opens
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
