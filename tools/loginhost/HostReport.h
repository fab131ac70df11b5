// What the reference host prints: one line per happening, "what  details", UTF-8. Lines may
// come from the plug-in's threads, so each is written whole under a lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "HostServices.h"
#include "ISkinControlEvent.h"

class HostReport : public HostObserver {
public:
    explicit HostReport(std::FILE* out = stdout) : m_pOut(out) {}

    void Line(const char* what, const std::string& details);

    // HostObserver.
    void OnSettingWritten(const std::string& store, const std::string& section,
                          const std::string& key, const std::string& value) override;
    void OnSimTypeNumber(int32_t simType) override;
    void OnSaveFailed(const std::string& error) override;

    // A skin-change notification as a listener received it (the name is GBK).
    void OnSkinChange(const SkinChangeInfo& info);

private:
    std::mutex m_mutex;
    std::FILE* m_pOut;
};
