// The plug-in list reader and the screening setting on any text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "PluginList.h"
#include "../FuzzCheck.h"

namespace {
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<PluginRecord> records;
    ParsePluginListText(text, records);
    // Each text comes from its own stretch of the document, and decoding never lengthens it.
    size_t total = 0;
    for (const PluginRecord& r : records)
        total += r.alias.size() + r.clsid.size() + r.channel.size();
    Check(total <= text.size());

    const std::vector<std::string> aliases = SplitScreenCodes(text);
    if (!text.empty()) {
        Check(aliases.size() == 1 + static_cast<size_t>(std::count(text.begin(), text.end(), ',')));
        for (const std::string& a : aliases)
            Check(a.empty() || (!IsSpace(a.front()) && !IsSpace(a.back())));
    }
    return 0;
}
