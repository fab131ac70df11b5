// The skin switch: the brand's SIM type and skin into the host's settings, the broadcast to the
// skin-change listeners, and the host's plug-in list less the screened entries.
#include <algorithm>
#include <cstring>

#include "BrandTable.h"
#include "LoginImpl.h"
#include "PluginList.h"
#include "global/GlobalAT.h"
#include "libs/trace/Trace.h"
#include "markup/MarkupSTL.h"
#include "platform/module.h"

namespace {
constexpr TraceSite kTrace{"LoginPlugin", "src\\LoginPlugin\\LoginImpl"};

void ReleaseSetting(ISetting*& pSetting) {
    if (!pSetting) return;
    ISetting* held = pSetting;
    pSetting = nullptr;
    try {
        held->Release();
    } catch (...) {
    }
}

// Copies name into the record's fixed field, cut before a character that would not fit whole
// (a GBK character is two bytes and is never split).
void CopyName(const std::string& name, SkinChangeInfo& change) {
    const size_t room = sizeof change.szName - 1;
    size_t end = 0;
    while (end < name.size()) {
        const auto c = static_cast<unsigned char>(name[end]);
        const size_t len = (c >= 0x81 && c <= 0xFE && end + 1 < name.size()) ? 2 : 1;
        if (end + len > room) break;
        end += len;
    }
    std::memcpy(change.szName, name.data(), end);
}
}  // namespace

void CLoginImpl::CheckSimCardType(const std::string& simType) {
    ISetting* pSetting = nullptr;
    try {
        if (!m_pEasyUseInterface) return;
        SimCardInfo info;
        if (simType.empty()) {
            info = GetSimCardInfo();
        } else {
            const std::string dir = GetModuleDir();
            if (dir.empty() || !m_pPluginContainer) return;
            std::string table;
            if (!ReadCryptFile(m_pPluginContainer, dir + "SIMBrandInfo.xml", table)) return;
            // A SIM type that no brand carries changes nothing, not even a read.
            if (!FindBrandBySimType(table, simType, info)) return;
        }
        if (info.tag.empty()) return;

        pSetting = m_pEasyUseInterface->GetSetting();
        if (!pSetting) return;
        std::string current;
        pSetting->GetSysSetting("SIMTYPE", "ACTIVE", current);
        // The stored SIM type is the memory between runs: one switch per change of card.
        if (current == info.tag || info.tag == "0" || info.skinpath.empty()) {
            ReleaseSetting(pSetting);
            return;
        }
        pSetting->SetSysSetting("SIMTYPE", "ACTIVE", info.tag);
        pSetting->SetSysSetting("SKIN", "ACTIVE", info.skinpath);
        InitSimBrandSetting(info.tag);
        RefreshPluginList();
        ReleaseSetting(pSetting);

        SkinChangeInfo change;
        std::memset(&change, 0, sizeof change);
        change.nSimType = SimTypeNumber(info.tag);
        CopyName(info.name, change);
        TellEventHandlers(change);
    } catch (...) {
        ReleaseSetting(pSetting);
        TRACE_AT(kTrace, TRACE_CRIT, "CLoginImpl::CheckSimCardType() exception!");
    }
}

void CLoginImpl::TellEventHandlers(SkinChangeInfo& change) {
    // Listeners are told outside the lock, so that one may add or remove listeners; one that was
    // removed meanwhile (by an earlier listener, or on another thread) is skipped. Each call is
    // noted while it runs, so that a removal on another thread waits for it to end.
    for (ISkinControlEvent* pHandler : EventHandlers()) {
        {
            std::lock_guard<std::mutex> lock(m_HandlerGuard);
            if (!pHandler || std::find(m_lstEventHandler.begin(), m_lstEventHandler.end(),
                                       pHandler) == m_lstEventHandler.end())
                continue;
            m_vecHandlerCalls.emplace_back(pHandler, std::this_thread::get_id());
        }
        // Ends the note however the call ends (a listener may throw).
        struct CallNote {
            CLoginImpl& login;
            ~CallNote() {
                {
                    std::lock_guard<std::mutex> lock(login.m_HandlerGuard);
                    auto& calls = login.m_vecHandlerCalls;
                    const auto mine =
                        std::find(calls.begin(), calls.end(),
                                  std::make_pair(pHandler, std::this_thread::get_id()));
                    if (mine != calls.end()) calls.erase(mine);
                }
                login.m_HandlerCallEnded.notify_all();
            }
            ISkinControlEvent* pHandler;
        } note{*this, pHandler};
        TRACE_AT(kTrace, TRACE_INFO, "(*it)->OnSkinChange()");
        pHandler->OnSkinChange(&change);
    }
}

bool CLoginImpl::InitSimBrandSetting(const std::string& simType) {
    ISetting* pSetting = nullptr;
    try {
        if (!m_pEasyUseInterface) return false;
        std::string s = simType.empty() ? GetSimCardInfo().tag : simType;
        pSetting = m_pEasyUseInterface->GetSetting();
        if (!pSetting) return false;
        if (s.empty()) pSetting->GetSysSetting("SIMTYPE", "ACTIVE", s);
        if (s.empty()) {
            ReleaseSetting(pSetting);
            return false;
        }
        pSetting->SetSimTypeNumber(SimTypeNumber(s));
        ReleaseSetting(pSetting);
        return true;
    } catch (...) {
        ReleaseSetting(pSetting);
        return false;
    }
}

void CLoginImpl::RefreshPluginList() {
    std::vector<PluginRecord> kept;
    try {
        std::vector<std::string> aliases;
        std::vector<PluginRecord> records;
        if (ReadServiceScreenCodes(aliases) && ReadPluginList(records)) {
            for (PluginRecord& record : records) {
                if (std::find(aliases.begin(), aliases.end(), record.alias) == aliases.end())
                    kept.push_back(std::move(record));
            }
        }
    } catch (...) {
        kept.clear();
    }
    std::lock_guard<std::mutex> lock(m_PluginGuard);
    m_vecPlugins.swap(kept);
}

bool CLoginImpl::ReadPluginList(std::vector<PluginRecord>& plugins) {
    try {
        const std::string path = GetModuleDir() + "plugins.xml";
        plugins.clear();
        CMarkupSTL xml;
        // A file that is missing or does not parse leaves an empty document, refused below.
        xml.LoadDoc(path);
        return ParsePluginList(xml, plugins);
    } catch (...) {
        return false;
    }
}

bool CLoginImpl::ReadServiceScreenCodes(std::vector<std::string>& aliases) {
    ISetting* pSetting = nullptr;
    try {
        if (!m_pPluginContainer) return false;
        pSetting = CEasyUseInterface(m_pPluginContainer).GetSetting();
        if (!pSetting) return false;
        std::string value;
        const bool bRead = pSetting->GetNamedSetting("ServiceScreenCode", value);
        ReleaseSetting(pSetting);
        if (!bRead) return false;
        for (std::string& alias : SplitScreenCodes(value)) aliases.push_back(std::move(alias));
        return true;
    } catch (...) {
        ReleaseSetting(pSetting);
        return false;
    }
}

std::string CLoginImpl::GetModuleDir() {
    std::lock_guard<std::mutex> lock(m_PluginGuard);
    if (m_strModuleDir.empty()) {
        const std::string exe = GetHostExecutablePath();
        const size_t cut = exe.find_last_of(PathSeparator());
        if (cut != std::string::npos) m_strModuleDir = exe.substr(0, cut + 1);
    }
    return m_strModuleDir;
}
