#include "OperatorTable.h"

#include <cctype>
#include <fstream>
#include <iterator>

#include "HostIni.h"

bool LoadOperatorTable(const std::string& path, OperatorTable& table, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    IniFile ini;
    if (!ini.Parse(path, text, error)) return false;
    for (const IniFile::Entry& e : ini.Entries()) {
        const std::string where = path + ":" + std::to_string(e.line) + ": ";
        std::string section = e.section;
        for (char& c : section) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (section != "operators") {
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
