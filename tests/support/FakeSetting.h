// The host's settings: system, user and named values in memory, with the writes noted.
#pragma once

#include <mutex>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "FakeReleaseCounter.h"
#include "ISetting.h"

class FakeSetting : public ISetting, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    bool GetSysSetting(const std::string& section, const std::string& key,
                       std::string& value) override;
    bool SetSysSetting(const std::string& section, const std::string& key,
                       const std::string& value) override;
    bool GetUserSetting(const std::string& section, const std::string& key,
                        std::string& value) override;
    bool SetUserSetting(const std::string& section, const std::string& key,
                        const std::string& value) override;
    bool GetNamedSetting(const std::string& name, std::string& value) override;
    void SetSimTypeNumber(int32_t simType) override;

    // Test side.
    void Sys(const std::string& section, const std::string& key, const std::string& value);
    void User(const std::string& section, const std::string& key, const std::string& value);
    void Named(const std::string& name, const std::string& value);
    std::vector<int32_t> SimTypeNumbers() const;
    // Every SetSysSetting, in order, as "SECTION/KEY=value".
    std::vector<std::string> SysWrites() const;
    // Every SetUserSetting that succeeded since the last call, in order: "SECTION/KEY=value ...".
    std::string TakeUserWrites();
    // SetUserSetting of this key answers false from now on.
    void FailUserKey(const std::string& key);

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::string> m_sys;
    std::map<std::pair<std::string, std::string>, std::string> m_user;
    std::map<std::string, std::string> m_named;
    std::vector<int32_t> m_simTypes;
    std::vector<std::string> m_sysWrites;
    std::string m_userWrites;
    std::string m_failUserKey;
};
