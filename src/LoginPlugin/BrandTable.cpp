#include "BrandTable.h"

#include <algorithm>
#include <limits>

#include "markup/MarkupSTL.h"

namespace {

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// SetDoc, then down into the <main> root; false when the table is not such a document.
bool EnterRoot(CMarkupSTL& xml, const std::string& table) {
    return xml.SetDoc(table) && xml.HasRootElem() && xml.FindElem("main") && xml.IntoElem();
}

}  // namespace

std::string LowerGbk(const std::string& text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsGbkLeadByte(c) && i + 1 < out.size()) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            items.push_back(text.substr(start));
            return items;
        }
        items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

int32_t SimTypeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(limit, value * 10 + (text[i] - '0'));
    return static_cast<int32_t>(negative ? -value : value);
}

bool FindBrandByName(const std::string& table, const std::string& name, SimCardInfo& info) {
    CMarkupSTL xml;
    if (EnterRoot(xml, table)) {
        const std::string lookup = LowerGbk(name);
        while (xml.FindElem("cardtype")) {
            xml.IntoElem();
            if (!xml.FindElem("name")) {
                xml.LeaveElem();
                continue;
            }
            const std::vector<std::string> items = SplitAtCommas(xml.GetElemData());
            xml.ResetLevelPos();
            const bool match = std::any_of(items.begin(), items.end(), [&](const std::string& s) {
                return LowerGbk(s) == lookup;
            });
            if (!match) {
                xml.LeaveElem();
                continue;
            }
            if (xml.FindElem("tag")) info.tag = xml.GetElemData();
            xml.ResetLevelPos();
            if (xml.FindElem("skinpath")) info.skinpath = xml.GetElemData();
            return true;
        }
    }
    info.tag.clear();
    info.skinpath.clear();
    return false;
}

bool FindBrandBySimType(const std::string& table, const std::string& simType, SimCardInfo& info) {
    CMarkupSTL xml;
    if (!EnterRoot(xml, table)) return false;
    while (xml.FindElem("cardtype") && xml.IntoElem()) {
        SimCardInfo found;
        found.tag.clear();
        if (xml.FindElem("name")) found.name = xml.GetElemData();
        if (xml.FindElem("tag")) found.tag = xml.GetElemData();
        if (xml.FindElem("skinpath")) found.skinpath = xml.GetElemData();
        if (found.tag == simType) {
            info = found;
            return true;
        }
        xml.LeaveElem();
    }
    return false;
}
