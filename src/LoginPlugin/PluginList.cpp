#include "PluginList.h"

#include <algorithm>

#include "EasyUseInterface.h"
#include "LoginSettings.h"
#include "markup/MarkupSTL.h"
#include "platform/atomic_file.h"
#include "platform/module.h"

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

void PluginRoster::Refresh() {
    std::vector<PluginRecord> kept;
    try {
        std::vector<std::string> aliases;
        std::vector<PluginRecord> records;
        if (ReadScreenCodes(aliases) && ReadList(records)) {
            for (PluginRecord& record : records) {
                if (std::find(aliases.begin(), aliases.end(), record.alias) == aliases.end())
                    kept.push_back(std::move(record));
            }
        }
    } catch (...) {
        kept.clear();
    }
    std::lock_guard<std::mutex> lock(m_guard);
    m_plugins.swap(kept);
}

bool PluginRoster::IsUnlisted(const std::string& clsid) const {
    if (clsid.empty()) return false;
    std::lock_guard<std::mutex> lock(m_guard);
    return std::none_of(m_plugins.begin(), m_plugins.end(),
                        [&](const PluginRecord& r) { return r.clsid == clsid; });
}

bool ReadPluginListFile(const std::string& path, std::vector<PluginRecord>& plugins) {
    plugins.clear();
    std::string text;
    CMarkupSTL xml;
    // A file that is missing, not a regular file, too large or that does not parse leaves an
    // empty document, refused below.
    if (ReadFileContents(path, text, kMaxPluginListBytes, FileLinks::Follow) ==
            FileReadResult::Ok &&
        text.size() <= kMaxPluginListBytes) {
        xml.SetDoc(std::move(text));
    }
    return ParsePluginList(xml, plugins);
}

bool PluginRoster::ReadList(std::vector<PluginRecord>& plugins) {
    try {
        return ReadPluginListFile(ModuleDir() + LOGIN_PLUGIN_LIST_FILE, plugins);
    } catch (...) {
        return false;
    }
}

bool PluginRoster::ReadScreenCodes(std::vector<std::string>& aliases) const {
    try {
        if (!m_pContainer) return false;
        const HostRef<ISetting> setting = CEasyUseInterface(m_pContainer).Setting();
        if (!setting) return false;
        std::string value;
        if (!setting->GetNamedSetting(SETTING_SERVICE_SCREEN_CODE, value)) return false;
        for (std::string& alias : SplitScreenCodes(value)) aliases.push_back(std::move(alias));
        return true;
    } catch (...) {
        return false;
    }
}

std::string PluginRoster::ModuleDir() {
    std::lock_guard<std::mutex> lock(m_guard);
    if (m_strModuleDir.empty()) {
        const std::string exe = GetHostExecutablePath();
        const size_t cut = exe.find_last_of(PathSeparator());
        if (cut != std::string::npos) m_strModuleDir = exe.substr(0, cut + 1);
    }
    return m_strModuleDir;
}
