// The host as the settings dialog sees it: settings, strings, crypt plug-in and login object, each
// recording what the dialog did with it. Safe to use from the dialog's and the driver's threads.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ICryptPlugin.h"
#include "ILogin.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"

// Host strings of the dialog, GBK.
namespace ui_text {
extern const char* const kNoTypeCaption;  // 2000
extern const char* const kNoType;         // 7001
extern const char* const kTitle;          // 11003
extern const char* const kBoxTitle;       // 2019
extern const char* const kTypeNone;       // 11000
extern const char* const kTypeUser;       // 11001
extern const char* const kTypeBrowser;    // 11002
}  // namespace ui_text

class UiFakeSetting : public ISetting {
public:
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    bool GetSysSetting(const std::string& section, const std::string& key,
                       std::string& value) override;
    bool SetSysSetting(const std::string& section, const std::string& key,
                       const std::string& value) override;
    bool GetUserSetting(const std::string& section, const std::string& key,
                        std::string& value) override;
    bool SetUserSetting(const std::string& section, const std::string& key,
                        const std::string& value) override;
    bool GetNamedSetting(const std::string&, std::string&) override { return false; }
    void SetSimTypeNumber(int32_t) override {}

    void Sys(const std::string& section, const std::string& key, const std::string& value);
    void Proxy(const std::string& key, const std::string& value);
    // Every SetUserSetting, in order, as "SECTION/KEY=value".
    std::vector<std::string> UserWrites() const;
    // SetUserSetting of this key answers false (and stores nothing).
    void FailUserKey(const std::string& key);

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::string> m_sys;
    std::map<std::pair<std::string, std::string>, std::string> m_user;
    std::vector<std::string> m_writes;
    std::set<std::string> m_failKeys;
};

class UiFakeStrings : public IStringResMgr {
public:
    UiFakeStrings();
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    std::string GetString(int32_t id) override;

private:
    std::map<int32_t, std::string> m_strings;  // read only after construction
};

// Reversible and visibly different from the plain text.
class UiFakeCrypt : public ICryptPlugin {
public:
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    std::string Encrypt(const std::string& plain) override;
    std::string Decrypt(const std::string& cipher) override;
    int32_t DecryptBuffer(const unsigned char*, uint32_t, unsigned char*, const unsigned char*,
                          uint32_t) override {
        return -1;
    }
};

// Keeps the skin-change listeners, as the login object does.
class UiFakeLogin : public ILogin {
public:
    void Release() override { ++m_nReleases; }
    int32_t GetErrorCode() override { return 0; }
    bool StartLogin() override { return true; }
    bool IsLoginSuccess() override { return false; }
    bool IsPluginUnlisted(std::string) override { return false; }
    void CheckSimCardType(const std::string&) override {}
    bool SetEventHandler(ISkinControlEvent* pHandler) override;
    bool RemoveEventHandler(ISkinControlEvent* pHandler) override;

    std::vector<ISkinControlEvent*> Handlers() const;
    // Tells every listener, as the skin switch does.
    void BroadcastSkinChange();
    int Releases() const { return m_nReleases; }

private:
    mutable std::mutex m_mutex;
    std::vector<ISkinControlEvent*> m_handlers;
    std::atomic<int> m_nReleases{0};
};

class UiFakeContainer : public IPluginContainer {
public:
    bool QueryInterface(const char* pluginId, int32_t number,
                        IBaseInterface** ppInterface) override;
    void Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface);
    // Answers false for it, as a host without that plug-in.
    void Refuse(const std::string& pluginId, int32_t number);
    // Answers true with a null pointer.
    void ServeNull(const std::string& pluginId, int32_t number);

private:
    std::mutex m_mutex;
    std::map<std::pair<std::string, int32_t>, IBaseInterface*> m_served;
};

// All of it wired together: the skin is the default one, the proxy type unset.
struct UiFakeHost {
    UiFakeHost();
    UiFakeSetting setting;
    UiFakeStrings strings;
    UiFakeCrypt crypt;
    UiFakeLogin login;
    UiFakeContainer container;
};
