// The host as the dialogs see it: one object serving the settings, strings, crypt plug-in and login
// object, recording what the dialogs did with them. Safe to use from the dialog's and the driver's
// threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ICryptPlugin.h"
#include "ILogin.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"
#include "PluginIds.h"

class UiFakeHost : public IPluginContainer,
                   public ISetting,
                   public IStringResMgr,
                   public ICryptPlugin,
                   public ILogin {
public:
    using Text = const std::string&;
    // The default skin, version 2.1, no proxy stored.
    UiFakeHost() {
        Serve(PLUGIN_ID_SETTING, IID_SETTING, static_cast<ISetting*>(this));
        Serve(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR, static_cast<IStringResMgr*>(this));
        Serve(PLUGIN_ID_CRYPT, IID_CRYPT, static_cast<ICryptPlugin*>(this));
        Serve(PLUGIN_ID_LOGIN, IID_LOGIN, static_cast<ILogin*>(this));
        SetSysSetting("SKIN", "ACTIVE", "skin\\DefaultSkin.dll");
        SetSysSetting("VERSION", "MAJOR", "2.1");
    }
    // Every interface: counted, never destroyed.
    void Release() override { ++m_nReleases; }
    int32_t GetErrorCode() override { return 0; }
    int Releases() const { return m_nReleases; }

    bool QueryInterface(const char* pluginId, int32_t number, IBaseInterface** ppOut) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_served.find({pluginId ? pluginId : "", number});
        if (it != m_served.end()) *ppOut = it->second;
        return it != m_served.end();
    }
    // A null interface is answered true with a null pointer.
    void Serve(Text pluginId, int32_t number, IBaseInterface* pInterface) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_served[{pluginId, number}] = pInterface;
    }
    // Answered false, as by a host without that plug-in.
    void Refuse(Text pluginId, int32_t number) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_served.erase({pluginId, number});
    }

    bool GetSysSetting(Text s, Text k, std::string& v) override {
        return Get("sys:" + s + "/" + k, v);
    }
    bool SetSysSetting(Text s, Text k, Text v) override { return Put("sys:" + s + "/" + k, v); }
    bool GetUserSetting(Text s, Text k, std::string& v) override { return Get(s + "/" + k, v); }
    bool SetUserSetting(Text s, Text k, Text v) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (k == m_failKey) return false;
        m_values[s + "/" + k] = v;
        m_writes += (m_writes.empty() ? "" : " ") + s + "/" + k + "=" + v;
        return true;
    }
    bool GetNamedSetting(Text, std::string&) override { return false; }
    void SetSimTypeNumber(int32_t) override {}
    // A user setting stored beforehand, not counted among the writes.
    bool Put(Text key, Text v) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_values[key] = v;
        return true;
    }
    // Every SetUserSetting that succeeded since the last call, in order: "SECTION/KEY=value ...".
    std::string TakeWrites() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_writes, {});
    }
    // SetUserSetting of this key answers false from now on.
    void FailUserKey(Text k) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failKey = k;
    }

    // The host's strings, GBK Chinese.
    std::string GetString(int32_t id) override {
        // clang-format off
        static const std::map<int32_t, std::string> strings = {
            {2000, "\xCC\xE1\xCA\xBE"}, {2001, "\xC8\xB7\xB6\xA8"}, {2002, "\xC8\xA1\xCF\xFB"},
            {2019, "\xB5\xC7\xC2\xBC\xD6\xFA\xCA\xD6 "},
            {2022, "\xB4\xFA\xC0\xED\xB7\xFE\xCE\xF1\xC6\xF7"}, {2023, "\xC0\xE0\xD0\xCD:"},
            {2024, "\xB5\xD8\xD6\xB7:"}, {2025, "\xB6\xCB\xBF\xDA:"}, {2026, "\xD3\xC3\xBB\xA7:"},
            {2027, "\xC3\xDC\xC2\xEB:"}, {4102, "\xC8\xB7\xB6\xA8"}, {4103, "\xC8\xA1\xCF\xFB"},
            {4109, "\xCA\xC7"}, {4110, "\xB7\xF1"}, {5999, "\xB9\xD8\xB1\xD5"},
            {7001, "\xC7\xEB\xD1\xA1\xD4\xF1\xB4\xFA\xC0\xED\xC0\xE0\xD0\xCD"},
            {11000, "\xB2\xBB\xCA\xB9\xD3\xC3\xB4\xFA\xC0\xED"},
            {11001, "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xB4\xFA\xC0\xED"},
            {11002, "\xCA\xB9\xD3\xC3\xE4\xAF\xC0\xC0\xC6\xF7\xB4\xFA\xC0\xED"},
            {11003, "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3"}};
        // clang-format on
        auto it = strings.find(id);
        return it == strings.end() ? std::string() : it->second;
    }

    // Reversible and visibly different from the plain text.
    std::string Encrypt(Text plain) override {
        return "enc:" + std::string(plain.rbegin(), plain.rend());
    }
    std::string Decrypt(Text cipher) override {
        return cipher.compare(0, 4, "enc:") ? "" : std::string(cipher.rbegin(), cipher.rend() - 4);
    }
    int32_t DecryptBuffer(const unsigned char*, uint32_t, unsigned char*, const unsigned char*,
                          uint32_t) override {
        return -1;
    }

    // The skin-change listeners, kept as the login object does.
    bool StartLogin() override { return true; }
    bool IsLoginSuccess() override { return false; }
    bool IsPluginUnlisted(std::string) override { return false; }
    void CheckSimCardType(Text) override {}
    bool SetEventHandler(ISkinControlEvent* pHandler) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handlers.push_back(pHandler);
        return true;
    }
    bool RemoveEventHandler(ISkinControlEvent* pHandler) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), pHandler),
                         m_handlers.end());
        return true;
    }
    std::vector<ISkinControlEvent*> Handlers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_handlers;
    }
    // Tells every listener, as the skin switch does.
    void BroadcastSkinChange() {
        SkinChangeInfo info{};
        for (ISkinControlEvent* pHandler : Handlers()) pHandler->OnSkinChange(&info);
    }

private:
    bool Get(Text key, std::string& v) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_values.find(key);
        if (it != m_values.end()) v = it->second;
        return it != m_values.end();
    }
    std::mutex m_mutex;
    std::map<std::pair<std::string, int32_t>, IBaseInterface*> m_served;
    std::map<std::string, std::string> m_values;
    std::string m_writes, m_failKey;
    std::vector<ISkinControlEvent*> m_handlers;
    std::atomic<int> m_nReleases{0};
};
