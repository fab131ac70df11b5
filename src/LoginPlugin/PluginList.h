// The host's plug-in list plugins.xml (a root <main> holding <plugin> records with <channel>,
// <alias> and <clsid>, in this order) and the ServiceScreenCode setting that screens entries out;
// the roster of the entries kept, next to the host's executable.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "IPluginContainer.h"
#include "LoginTypes.h"

class CMarkupSTL;

// Reads the records of a loaded document in file order. False when the document has no <main>
// root or a <plugin> lacks one of its three children in order; the records read before that
// stay in the output.
bool ParsePluginList(CMarkupSTL& xml, std::vector<PluginRecord>& records);
bool ParsePluginListText(const std::string& text, std::vector<PluginRecord>& records);
// Reads and parses the list file at path; false for a file that is missing, not a regular file,
// larger than kMaxPluginListBytes or not a list.
bool ReadPluginListFile(const std::string& path, std::vector<PluginRecord>& records);
constexpr size_t kMaxPluginListBytes = 4u << 20;

// The aliases of a ServiceScreenCode value: split at every comma, each piece trimmed of white
// space, empty pieces kept. An empty value screens nothing.
std::vector<std::string> SplitScreenCodes(const std::string& value);

// The plug-in list as the login object keeps it: the host's list less the screened entries,
// read again on each Refresh, and the host's directory it is read from.
class PluginRoster {
public:
    explicit PluginRoster(IPluginContainer* pContainer) : m_pContainer(pContainer) {}

    // Reads the list and the screen codes again; a failure of either empties the roster.
    void Refresh();
    // True when a non-empty clsid is not in the roster.
    bool IsUnlisted(const std::string& clsid) const;
    // The records of the directory's plugins.xml, in file order.
    bool ReadList(std::vector<PluginRecord>& plugins);
    // The aliases the host's ServiceScreenCode setting screens out.
    bool ReadScreenCodes(std::vector<std::string>& aliases) const;
    // The host executable's directory with its separator, found once.
    std::string ModuleDir();

private:
    IPluginContainer* m_pContainer;
    mutable std::mutex m_guard;  // m_plugins, m_strModuleDir
    std::vector<PluginRecord> m_plugins;
    std::string m_strModuleDir;
};
