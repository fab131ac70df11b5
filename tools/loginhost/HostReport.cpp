#include "HostReport.h"

#include <algorithm>

#include "platform/textcodec.h"

void HostReport::Line(const char* what, const std::string& details) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fprintf(m_pOut, "%-9s %s\n", what, details.c_str());
    std::fflush(m_pOut);
}

void HostReport::OnSettingWritten(const std::string& store, const std::string& section,
                                  const std::string& key, const std::string& value) {
    Line(store == "user" ? "set-user" : "set-sys", section + "/" + key + "=" + value);
}

void HostReport::OnSimTypeNumber(int32_t simType) {
    Line("simtype", std::to_string(simType));
}

void HostReport::OnSaveFailed(const std::string& error) {
    Line("error", error);
}

void HostReport::OnSkinChange(const SkinChangeInfo& info) {
    const std::string name(info.szName,
                           std::find(info.szName, info.szName + sizeof info.szName, '\0'));
    Line("skin", "simtype=" + std::to_string(info.nSimType) + " name=" + GbkToUtf8(name));
}
