// The brand table lookups on any decoded text. Input: the name looked up (also used as the SIM
// type), a newline, then the table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BrandTable.h"
#include "../FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string name =
        newline == std::string::npos ? std::string() : input.substr(0, newline);
    const std::string table = newline == std::string::npos ? input : input.substr(newline + 1);

    SimCardInfo info;
    info.name = name;
    if (!FindBrandByName(table, name, info)) Check(info.tag.empty() && info.skinpath.empty());
    Check(info.name == name);

    SimCardInfo byType;
    if (FindBrandBySimType(table, name, byType)) Check(byType.tag == name);

    // The helpers keep their promises on any text.
    const std::string lower = LowerGbk(name);
    Check(lower.size() == name.size() && LowerGbk(lower) == lower);
    const std::vector<std::string> items = SplitAtCommas(name);
    std::string joined = items.front();
    for (size_t i = 1; i < items.size(); ++i) joined += "," + items[i];
    Check(joined == name);
    SimTypeNumber(name);
    return 0;
}
