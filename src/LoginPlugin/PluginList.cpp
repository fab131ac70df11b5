#include "PluginList.h"

#include "markup/MarkupSTL.h"

bool ParsePluginList(CMarkupSTL& xml, std::vector<PluginRecord>& records) {
    records.clear();
    if (!xml.HasRootElem() || !xml.FindElem("main") || !xml.IntoElem()) return false;
    while (xml.FindElem("plugin")) {
        PluginRecord record;
        if (!xml.FindSubElem("channel")) return false;
        record.channel = xml.GetSubElemData();
        if (!xml.FindSubElem("alias")) return false;
        record.alias = xml.GetSubElemData();
        if (!xml.FindSubElem("clsid")) return false;
        record.clsid = xml.GetSubElemData();
        records.push_back(std::move(record));
    }
    return true;
}

bool ParsePluginListText(const std::string& text, std::vector<PluginRecord>& records) {
    CMarkupSTL xml;
    xml.SetDoc(text);
    return ParsePluginList(xml, records);
}

std::vector<std::string> SplitScreenCodes(const std::string& value) {
    std::vector<std::string> aliases;
    if (value.empty()) return aliases;
    const char* const kSpace = " \t\r\n\v\f";
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        std::string piece = value.substr(start, comma == std::string::npos ? comma : comma - start);
        const size_t first = piece.find_first_not_of(kSpace);
        piece = first == std::string::npos
                    ? std::string()
                    : piece.substr(first, piece.find_last_not_of(kSpace) - first + 1);
        aliases.push_back(std::move(piece));
        if (comma == std::string::npos) return aliases;
        start = comma + 1;
    }
}
