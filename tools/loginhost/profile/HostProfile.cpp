#include "HostProfile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

const char* const kProfileFiles[7] = {"system.ini", "user.ini", "named.ini",    "strings.ini",
                                      "card.ini",   "net.ini",  "operators.ini"};

namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Where(const std::string& path, int line) {
    return line > 0 ? path + ":" + std::to_string(line) : path;
}

// Reads the file when it exists; false only for a file that exists and cannot be read.
bool ReadIfPresent(const std::string& path, bool& present, std::string& text, std::string& error) {
    std::error_code ec;
    present = fs::exists(fs::path(path), ec);
    if (!present) return true;
    std::ifstream in(path, std::ios::binary);
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = path + ": cannot be read";
        return false;
    }
    return true;
}

bool ParseResults(const std::string& text, std::vector<int32_t>& results) {
    std::vector<int32_t> out;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        const size_t first = item.find_first_not_of(" \t");
        item = first == std::string::npos
                   ? std::string()
                   : item.substr(first, item.find_last_not_of(" \t") - first + 1);
        int32_t value = 0;
        if (!ParseInt32(item, value)) return false;
        out.push_back(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    results.swap(out);
    return true;
}

// A file whose keys all live in one named section and are each handled by a setter.
using KeySetter = std::function<bool(const std::string& value, std::string& why)>;

bool ApplyKeys(const IniFile& ini, const std::string& path, const std::string& section,
               const std::map<std::string, KeySetter>& setters, std::string& error) {
    for (const auto& s : ini.Sections()) {
        if (!IniNameEquals(s.name, section)) {
            error = Where(path, s.line) + ": unknown section [" + s.name + "] (expected [" +
                    section + "])";
            return false;
        }
    }
    for (const auto& e : ini.Entries()) {
        if (e.section.empty()) {
            error =
                Where(path, e.line) + ": key '" + e.key + "' outside the [" + section + "] section";
            return false;
        }
        auto it = setters.find(LowerAscii(e.key));
        if (it == setters.end()) {
            std::string known;
            for (const auto& kv : setters) known += (known.empty() ? "" : ", ") + kv.first;
            error = Where(path, e.line) + ": unknown key '" + e.key + "' (known: " + known + ")";
            return false;
        }
        std::string why;
        if (!it->second(e.value, why)) {
            error = Where(path, e.line) + ": " + why;
            return false;
        }
    }
    return true;
}

KeySetter Number(int32_t& target, const char* key) {
    return [&target, key](const std::string& v, std::string& why) {
        if (ParseInt32(v, target)) return true;
        why = std::string("bad number for ") + key + ": '" + v + "'";
        return false;
    };
}

KeySetter Results(std::vector<int32_t>& target, const char* key) {
    return [&target, key](const std::string& v, std::string& why) {
        if (ParseResults(v, target)) return true;
        why = std::string("bad number list for ") + key + ": '" + v + "'";
        return false;
    };
}

KeySetter Text(std::string& target) {
    return [&target](const std::string& v, std::string&) {
        target = v;
        return true;
    };
}

// A card on a modem's port: the modem gives everything else, so nothing else may be given.
bool LoadModemCard(const IniFile& ini, const std::string& path, CardProfile& card,
                   std::string& error) {
    for (const auto& e : ini.Entries()) {
        const std::string key = LowerAscii(e.key);
        if (key != "port" && key != "baud") {
            error = Where(path, e.line) + ": key '" + e.key +
                    "' is not taken with port= (the modem is the card; known: port, baud)";
            return false;
        }
    }
    std::map<std::string, KeySetter> setters{
        {"port",
         [&card](const std::string& v, std::string& why) {
             card.port = v;
             if (!v.empty()) return true;
             why = "port= names the modem's AT port";
             return false;
         }},
        {"baud",
         [&card](const std::string& v, std::string& why) {
             int32_t baud = 0;
             if (ParseInt32(v, baud) && baud > 0) {
                 card.baud = static_cast<uint32_t>(baud);
                 return true;
             }
             why = "bad speed for baud: '" + v + "'";
             return false;
         }},
    };
    return ApplyKeys(ini, path, "card", setters, error);
}

bool LoadCard(const IniFile& ini, const std::string& path, CardProfile& card, std::string& error) {
    for (const auto& e : ini.Entries()) {
        if (LowerAscii(e.key) == "port") return LoadModemCard(ini, path, card, error);
    }
    int given = 0;
    auto once = [&given](const KeySetter& setter, int bit) {
        return [setter, bit, &given](const std::string& v, std::string& why) {
            if (given & bit) {
                why = bit == 1 ? "imsi_error and imsi_errors both given"
                               : "spn_error and spn_errors both given";
                return false;
            }
            given |= bit;
            return setter(v, why);
        };
    };
    std::map<std::string, KeySetter> setters{
        {"imsi", Text(card.imsi)},
        {"spn", Text(card.spn)},
        {"imsi_errors", once(Results(card.imsiResults, "imsi_errors"), 1)},
        {"imsi_error", once(Results(card.imsiResults, "imsi_error"), 1)},
        {"spn_errors", once(Results(card.spnResults, "spn_errors"), 2)},
        {"spn_error", once(Results(card.spnResults, "spn_error"), 2)},
        {"baud",
         [](const std::string&, std::string& why) {
             why = "baud= needs port=";
             return false;
         }},
        {"comm",
         [&card](const std::string& v, std::string& why) {
             const std::string l = LowerAscii(v);
             if (l == "yes" || l == "no") {
                 card.bComm = l == "yes";
                 return true;
             }
             why = "comm must be yes or no: '" + v + "'";
             return false;
         }},
    };
    return ApplyKeys(ini, path, "card", setters, error);
}

bool LoadNet(const IniFile& ini, const std::string& path, NetProfile& net, std::string& error) {
    std::map<std::string, KeySetter> setters{
        {"connect_state", Number(net.nConnectState, "connect_state")},
        {"check_result", Number(net.nCheckResult, "check_result")},
    };
    return ApplyKeys(ini, path, "net", setters, error);
}

bool NoSections(const IniFile& ini, const std::string& path, std::string& error) {
    const auto sections = ini.Sections();
    if (sections.empty()) return true;
    error = Where(path, sections.front().line) + ": this file has no sections ([" +
            sections.front().name + "])";
    return false;
}

bool KeysInSections(const IniFile& ini, const std::string& path, std::string& error) {
    for (const auto& e : ini.Entries()) {
        if (e.section.empty()) {
            error = Where(path, e.line) + ": key '" + e.key + "' outside a [section]";
            return false;
        }
    }
    return true;
}

// The plug-in's strict mode: STRICT takes 0 or 1 (the plug-in would read any other value as 0,
// silently), CAFILE a PEM file that can be read.
bool CheckSecurity(const IniFile& ini, const std::string& path, std::string& error) {
    for (const auto& e : ini.Entries()) {
        if (!IniNameEquals(e.section, "SECURITY")) continue;
        const std::string key = LowerAscii(e.key);
        if (key == "strict" && e.value != "0" && e.value != "1") {
            error = Where(path, e.line) + ": [SECURITY] STRICT is 0 or 1, not '" + e.value + "'";
            return false;
        }
        if (key == "cafile" && !e.value.empty() && !std::ifstream(fs::u8path(e.value))) {
            error = Where(path, e.line) + ": [SECURITY] CAFILE cannot be read: '" + e.value + "'";
            return false;
        }
        if (key != "strict" && key != "cafile") {
            error = Where(path, e.line) + ": unknown key '" + e.key +
                    "' in [SECURITY] (known: STRICT, CAFILE)";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseInt32(const std::string& text, int32_t& value) {
    if (text.empty()) return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{2147483648}) return false;
    }
    if (text[0] == '-') v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string HostProfile::PathOf(const std::string& file) const {
    if (m_strDir.empty()) return file;
    const char last = m_strDir.back();
    return (last == '/' || last == '\\') ? m_strDir + file : m_strDir + "/" + file;
}

bool ParseOperatorTable(const IniFile& ini, const std::string& path,
                        std::map<std::string, std::string>& table, std::string& error) {
    for (const IniFile::Entry& e : ini.Entries()) {
        const std::string where = Where(path, e.line) + ": ";
        if (LowerAscii(e.section) != "operators") {
            error = where + "'" + e.key + "' is not in [operators]";
            return false;
        }
        if (e.key.size() < 5 || e.key.size() > 6 ||
            e.key.find_first_not_of("0123456789") != std::string::npos) {
            error =
                where + "'" + e.key + "' is no operator identifier (MCC and MNC, 5 or 6 digits)";
            return false;
        }
        if (e.value.empty()) {
            error = where + e.key + " has no name";
            return false;
        }
        table[e.key] = e.value;
    }
    return true;
}

bool HostProfile::Load(const std::string& dir, std::string& error) {
    m_strDir = dir;
    std::error_code ec;
    if (!fs::is_directory(fs::path(dir), ec)) {
        error = dir + ": not a profile directory";
        return false;
    }
    // A misspelt file name would otherwise be ignored without a word.
    for (const auto& entry : fs::directory_iterator(fs::path(dir), ec)) {
        const std::string name = entry.path().filename().string();
        if (LowerAscii(entry.path().extension().string()) != ".ini") continue;
        bool known = false;
        for (const char* f : kProfileFiles) known = known || LowerAscii(name) == f;
        if (!known) {
            error = PathOf(name) +
                    ": unknown profile file (known: system.ini, user.ini, named.ini, "
                    "strings.ini, card.ini, net.ini, operators.ini)";
            return false;
        }
    }
    for (const char* file : kProfileFiles) {
        const std::string path = PathOf(file);
        bool present = false;
        std::string text;
        if (!ReadIfPresent(path, present, text, error)) return false;
        if (!present) continue;
        IniFile ini;
        if (!ini.Parse(path, text, error)) return false;
        const std::string name = file;
        if (name == "system.ini") {
            if (!KeysInSections(ini, path, error) || !CheckSecurity(ini, path, error)) {
                return false;
            }
            system = ini;
        } else if (name == "user.ini") {
            if (!KeysInSections(ini, path, error)) return false;
            user = ini;
        } else if (name == "named.ini") {
            if (!NoSections(ini, path, error)) return false;
            named = ini;
        } else if (name == "strings.ini") {
            if (!NoSections(ini, path, error)) return false;
            for (const auto& e : ini.Entries()) {
                int32_t id = 0;
                if (!ParseInt32(e.key, id)) {
                    error = Where(path, e.line) + ": bad string number '" + e.key + "'";
                    return false;
                }
                strings[id] = e.value;
            }
        } else if (name == "card.ini") {
            if (!LoadCard(ini, path, card, error)) return false;
        } else if (name == "net.ini") {
            if (!LoadNet(ini, path, net, error)) return false;
        } else if (name == "operators.ini") {
            if (!ParseOperatorTable(ini, path, operators, error)) return false;
        }
    }
    return true;
}

bool HostProfile::Save(const IniFile& file, const std::string& name, std::string& error) const {
    if (IsInMemory()) return true;
    const std::string path = PathOf(name);
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << file.Render();
        out.flush();
        if (!out) {
            error = temp + ": cannot be written";
            return false;
        }
    }
    std::error_code ec;
    fs::rename(fs::path(temp), fs::path(path), ec);
    if (ec) {
        error = path + ": cannot be replaced: " + ec.message();
        fs::remove(fs::path(temp), ec);
        return false;
    }
    return true;
}
