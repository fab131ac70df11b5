#include "ModemSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    if (digits.size() % 2) return false;
    bytes.clear();
    for (size_t i = 0; i < digits.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = digits.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end) return false;
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

// UTF-8 to UCS2 code units; false for what UCS2 cannot hold.
bool Ucs2(const std::string& utf8, std::vector<uint16_t>& units) {
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t c = 0;
        size_t n = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else {
            return false;
        }
        if (i + n > utf8.size()) return false;
        for (size_t k = 1; k < n; ++k)
            c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        units.push_back(static_cast<uint16_t>(c));
        i += n;
    }
    return true;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        out += two;
    }
    return out;
}

// The name part of a command: "AT+CRSM=176,..." is AT+CRSM, "AT+CPIN?" is AT+CPIN.
std::string NameOf(const std::string& command) {
    const size_t end = command.find_first_of("=?");
    return command.substr(0, end);
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return;
        }
    }
}

}  // namespace

bool ModemScript::Apply(const std::string& raw, std::string& why) {
    const std::string line = Trim(raw);
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : Trim(line.substr(space + 1));
    auto yes = [&](bool& flag) {
        if (value != "yes" && value != "no") {
            why = key + " takes yes or no";
            return false;
        }
        flag = value == "yes";
        return true;
    };
    if (key == "imsi") {
        imsi = value;
    } else if (key == "sim") {
        return yes(bSim);
    } else if (key == "silent") {
        return yes(bSilent);
    } else if (key == "unsolicited") {
        unsolicited.push_back(value);
    } else if (key == "spn-gsm") {
        // Plain ASCII letters and digits are the same in the GSM alphabet.
        spnFile.assign(17, 0xFF);
        spnFile[0] = 0x01;
        for (size_t i = 0; i < value.size() && i < 16; ++i) spnFile[i + 1] = value[i];
    } else if (key == "spn-ucs2") {
        std::vector<uint16_t> units;
        if (!Ucs2(value, units) || units.size() > 7) {
            why = "spn-ucs2 takes at most 7 characters UCS2 can hold";
            return false;
        }
        spnFile.assign(17, 0xFF);
        spnFile[0] = 0x01;
        spnFile[1] = 0x80;
        for (size_t i = 0; i < units.size(); ++i) {
            spnFile[2 + 2 * i] = static_cast<uint8_t>(units[i] >> 8);
            spnFile[3 + 2 * i] = static_cast<uint8_t>(units[i]);
        }
    } else if (key == "spn-hex") {
        if (!ParseHex(value, spnFile) || spnFile.empty() || spnFile.size() > 17) {
            why = "spn-hex takes up to 17 bytes in hexadecimal";
            return false;
        }
        spnFile.resize(17, 0xFF);
    } else if (key == "results") {
        std::istringstream words(value);
        std::string command, list;
        words >> command >> list;
        std::vector<int> numbers;
        std::istringstream items(list);
        for (std::string item; std::getline(items, item, ',');) {
            char* end = nullptr;
            numbers.push_back(static_cast<int>(std::strtol(item.c_str(), &end, 10)));
            if (item.empty() || *end) numbers.clear();
        }
        if (command.empty() || numbers.empty()) {
            why = "results takes COMMAND N,N,...";
            return false;
        }
        results[command] = numbers;
    } else if (key == "pin") {
        if (value != "ready" && value != "sim-pin" && value != "sim-puk") {
            why = "pin takes ready, sim-pin or sim-puk";
            return false;
        }
        pin = value == "ready" ? "READY" : value == "sim-pin" ? "SIM PIN" : "SIM PUK";
    } else if (key == "cpin-form") {
        if (value != "blank" && value != "tight" && value != "quoted") {
            why = "cpin-form takes blank, tight or quoted";
            return false;
        }
        cpinForm = value;
    } else if (key == "cimi-tag") {
        return yes(bCimiTag);
    } else if (key == "crsm-unquoted") {
        return yes(bCrsmUnquoted);
    } else if (key == "cr-only") {
        return yes(bCrOnly);
    } else if (key == "urc-inside") {
        return yes(bUrcInside);
    } else if (key == "verbose-errors") {
        return yes(bVerbose);
    } else if (key == "numeric") {
        return yes(bNumeric);
    } else if (key == "echo-stuck") {
        return yes(bEchoStuck);
    } else if (key == "split") {
        return yes(bSplit);
    } else if (key == "refuse-combined") {
        return yes(bRefuseCombined);
    } else if (key == "no-final" || key == "flood") {
        if (value.rfind("AT", 0) != 0) {
            why = key + " takes a command name (AT+CPIN, ...)";
            return false;
        }
        if (key == "flood") {
            flood = value;
        } else {
            noFinal.insert(value);
        }
    } else if (key == "ok-line" || key == "error-line") {
        if (value.empty()) {
            why = key + " takes a line";
            return false;
        }
        (key == "ok-line" ? okLine : errorLine) = value;
    } else if (key == "crsm-status") {
        std::istringstream words(value);
        if (!(words >> crsmStatus1 >> crsmStatus2)) {
            why = "crsm-status takes SW1 SW2";
            return false;
        }
    } else {
        why = "unknown setting '" + key + "'";
        return false;
    }
    return true;
}

bool ModemScript::Parse(const std::string& text, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string t = Trim(line);
        if (t.empty() || t[0] == '#') continue;
        std::string why;
        if (!Apply(t, why)) {
            error = std::to_string(number) + ": " + why;
            return false;
        }
    }
    return true;
}

ModemSimulator::ModemSimulator(ModemScript script, std::string link)
    : m_script(std::move(script)), m_strLink(std::move(link)) {}

ModemSimulator::~ModemSimulator() {
    Unplug();
}

bool ModemSimulator::Plug(std::string& error) {
    Unplug();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = "no pseudo-terminal";
        if (master >= 0) close(master);
        return false;
    }
    const std::string terminal = ptsname(master);
    const int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        error = terminal + ": cannot be opened";
        close(master);
        if (slave >= 0) close(slave);
        return false;
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    if (!m_strLink.empty()) {
        const std::string temp = m_strLink + ".new";
        unlink(temp.c_str());
        if (symlink(terminal.c_str(), temp.c_str()) != 0 ||
            rename(temp.c_str(), m_strLink.c_str()) != 0) {
            error = m_strLink + ": cannot be linked";
            close(master);
            close(slave);
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strTerminal = terminal;
        m_slave = slave;
        m_bEcho = true;
        m_bCmee = false;
        m_bNumeric = m_script.bNumeric;
    }
    m_bFlooding = false;
    m_bStop = false;
    m_thread = std::thread([this, master] { Serve(master); });
    return true;
}

void ModemSimulator::Unplug() {
    if (!m_thread.joinable()) return;
    m_bStop = true;
    m_thread.join();
    // As a device node goes with the device.
    if (!m_strLink.empty()) unlink(m_strLink.c_str());
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_slave >= 0) close(m_slave);
    m_slave = -1;
}

std::string ModemSimulator::Path() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLink.empty() ? m_strTerminal : m_strLink;
}

std::string ModemSimulator::Terminal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strTerminal;
}

void ModemSimulator::Change(const std::function<void(ModemScript&)>& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    change(m_script);
    m_next.clear();
}

void ModemSimulator::OnCommand(std::function<void(const std::string&)> callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onCommand = std::move(callback);
}

std::vector<std::string> ModemSimulator::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

size_t ModemSimulator::Count(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const std::string& c : m_commands) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

bool ModemSimulator::WaitFor(const std::string& prefix, size_t count, int limitMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
        size_t n = 0;
        for (const std::string& c : m_commands) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n >= count;
    });
}

void ModemSimulator::Serve(int master) {
    // What a flooding port writes, as fast as the terminal takes it.
    std::string lines;
    for (int i = 0; i < 170; ++i) lines += "X\r\n";
    std::string pending;
    while (!m_bStop) {
        const bool bFlooding = m_bFlooding;
        pollfd p{master, static_cast<short>(POLLIN | (bFlooding ? POLLOUT : 0)), 0};
        if (poll(&p, 1, 20) <= 0) continue;
        if (p.revents & POLLOUT) {
            // Non-blocking from the flood on: the reads of commands must go on beside it.
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
            if (write(master, lines.data(), lines.size()) < 0 && errno != EAGAIN) continue;
        }
        if (!(p.revents & POLLIN)) continue;
        char buf[256];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) continue;
        pending.append(buf, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\r')) != std::string::npos;) {
            std::string command = Trim(pending.substr(0, end));
            pending.erase(0, end + 1);
            if (!command.empty()) Answer(master, command);
        }
    }
    close(master);
}

namespace {

// The words of a device error, as a modem in verbose mode gives them.
std::string ErrorName(int number) {
    switch (number) {
        case 3:
            return "operation not allowed";
        case 10:
            return "SIM not inserted";
        case 11:
            return "SIM PIN required";
        case 12:
            return "SIM PUK required";
        case 13:
            return "SIM failure";
        case 14:
            return "SIM busy";
        default:
            return "unknown";
    }
}

}  // namespace

void ModemSimulator::Answer(int master, const std::string& command) {
    std::string reply;
    std::function<void(const std::string&)> callback;
    bool bSplit = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_commands.push_back(command);
        callback = m_onCommand;
        const ModemScript& s = m_script;
        bSplit = s.bSplit;
        if (!s.flood.empty() && NameOf(command) == s.flood) m_bFlooding = true;
        // A flooding port answers nothing but its flood.
        if (!s.bSilent && !m_bFlooding) reply = Reply(command);
    }
    if (bSplit) {
        // Three bytes a write, each after the one before has gone.
        for (size_t i = 0; i < reply.size(); i += 3) {
            WriteAll(master, reply.substr(i, 3));
            tcdrain(master);
            usleep(1000);
        }
    } else if (!reply.empty()) {
        WriteAll(master, reply);
    }
    if (callback) callback(command);
    m_changed.notify_all();
}

std::string ModemSimulator::Reply(const std::string& command) {
    const ModemScript& s = m_script;
    const std::string name = NameOf(command);
    int result = 0;
    auto it = s.results.find(name);
    if (it != s.results.end()) {
        size_t& next = m_next[name];
        result = it->second[std::min(next, it->second.size() - 1)];
        ++next;
    }
    if (result < 0) return {};  // this command is never answered

    // Basic commands such as ATE0V1 change the modes first; their result is in the new form.
    const bool bBasic =
        command.size() > 2 && (command[2] == 'E' || command[2] == 'V' || command[2] == 'Z');
    // "ATE0" is one basic command, "ATE0V1" two.
    if (bBasic && s.bRefuseCombined && command.size() > 4 && result == 0) result = 4;
    const bool bEchoed = m_bEcho;
    if (bBasic && result == 0) {
        for (size_t i = 2; i + 1 < command.size(); ++i) {
            if (command[i] == 'E') m_bEcho = command[i + 1] == '1' || s.bEchoStuck;
            if (command[i] == 'V') m_bNumeric = command[i + 1] == '0';
        }
    }
    const std::string end = s.bCrOnly ? "\r" : "\r\n";
    auto info = [&](const std::string& line) { return m_bNumeric ? line + end : end + line + end; };
    auto final = [&](const char* words, const char* number) {
        return m_bNumeric ? std::string(number) + "\r" : end + words + end;
    };
    auto refused = [&] { return s.errorLine.empty() ? final("ERROR", "4") : info(s.errorLine); };
    std::string reply = bEchoed ? command + "\r" : "";
    std::string urcs;
    for (const std::string& line : s.unsolicited) urcs += info(line);
    if (!s.bUrcInside) reply += urcs;

    const bool bSimCommand = name == "AT+CIMI" || name == "AT+CPIN" || name == "AT+CRSM";
    if (result == 0 && bSimCommand && !s.bSim) result = 10;
    if (result == 0 && (name == "AT+CIMI" || name == "AT+CRSM") && s.pin != "READY")
        result = s.pin == "SIM PIN" ? 11 : 12;
    auto ok = [&](const std::string& body) {
        std::string done = s.okLine.empty() ? final("OK", "0") : info(s.okLine);
        if (s.noFinal.count(name)) done.clear();
        return (body.empty() ? "" : info(body)) + (s.bUrcInside ? urcs : "") + done;
    };
    if (result > 0) {
        // A modem's own error line stands for every error; else the form AT+CMEE asked for.
        if (s.errorLine.empty() && s.bVerbose) {
            reply += info("+CME ERROR: " + ErrorName(result));
        } else if (s.errorLine.empty() && m_bCmee) {
            reply += info("+CME ERROR: " + std::to_string(result));
        } else {
            reply += refused();
        }
    } else if (command == "AT" || bBasic) {
        reply += ok("");
    } else if (name == "AT+CMEE") {
        m_bCmee = command != "AT+CMEE=0";
        reply += ok("");
    } else if (name == "AT+CIMI") {
        reply += ok((s.bCimiTag ? "+CIMI: " : "") + s.imsi);
    } else if (command == "AT+CPIN?") {
        const std::string state = s.cpinForm == "quoted" ? "\"" + s.pin + "\"" : s.pin;
        reply += ok((s.cpinForm == "tight" ? "+CPIN:" : "+CPIN: ") + state);
    } else if (command == "AT+CRSM=176,28486,0,0,17") {
        const int sw1 = s.crsmStatus1;
        const bool bFound = sw1 == 0x90 || sw1 == 0x91 || sw1 == 0x92 || sw1 == 0x9F;
        const std::string data = s.bCrsmUnquoted ? Hex(s.spnFile) : "\"" + Hex(s.spnFile) + "\"";
        reply += ok("+CRSM: " + std::to_string(sw1) + "," + std::to_string(s.crsmStatus2) +
                    (bFound ? "," + data : ""));
    } else {
        reply += refused();
    }
    return reply;
}
