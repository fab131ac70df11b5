// The skin switch: the brand's SIM type and skin into the host's settings, then the broadcast
// to the skin-change listeners.
#include <cstring>

#include "BrandTable.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "global/GlobalAT.h"
#include "libs/trace/Trace.h"

namespace {
constexpr TraceSite kTrace{"LoginPlugin", "src\\LoginPlugin\\LoginImpl"};

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
    try {
        SimCardInfo info;
        if (simType.empty()) {
            info = GetSimCardInfo();
        } else {
            const std::string dir = GetModuleDir();
            if (dir.empty() || !m_pPluginContainer) return;
            std::string table;
            if (!ReadCryptFile(m_pPluginContainer, dir + LOGIN_BRAND_TABLE_FILE, table)) return;
            // A SIM type that no brand carries changes nothing, not even a read.
            if (!FindBrandBySimType(table, simType, info)) return;
        }
        if (info.tag.empty()) return;

        HostRef<ISetting> setting = m_Host.Setting();
        if (!setting) return;
        std::string current;
        setting->GetSysSetting(SETTING_SIM_TYPE.section, SETTING_SIM_TYPE.key, current);
        // The stored SIM type is the memory between runs: one switch per change of card.
        if (current == info.tag || info.tag == "0" || info.skinpath.empty()) return;
        setting->SetSysSetting(SETTING_SIM_TYPE.section, SETTING_SIM_TYPE.key, info.tag);
        setting->SetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, info.skinpath);
        InitSimBrandSetting(info.tag);
        RefreshPluginList();
        setting.Reset();

        SkinChangeInfo change;
        std::memset(&change, 0, sizeof change);
        change.nSimType = SimTypeNumber(info.tag);
        CopyName(info.name, change);
        m_Listeners.Tell(change);
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "CLoginImpl::CheckSimCardType() exception!");
    }
}

bool CLoginImpl::InitSimBrandSetting(const std::string& simType) {
    try {
        std::string s = simType.empty() ? GetSimCardInfo().tag : simType;
        const HostRef<ISetting> setting = m_Host.Setting();
        if (!setting) return false;
        if (s.empty()) setting->GetSysSetting(SETTING_SIM_TYPE.section, SETTING_SIM_TYPE.key, s);
        if (s.empty()) return false;
        setting->SetSimTypeNumber(SimTypeNumber(s));
        return true;
    } catch (...) {
        return false;
    }
}
