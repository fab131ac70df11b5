#include "OperatorTable.h"

#include <fstream>
#include <iterator>

#include "HostIni.h"
#include "HostProfile.h"

bool LoadOperatorTable(const std::string& path, OperatorTable& table, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    IniFile ini;
    return ini.Parse(path, text, error) && ParseOperatorTable(ini, path, table, error);
}
