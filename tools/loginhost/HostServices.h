// The reference host's services, served from a profile: settings, strings, the data card with
// its device events, the network state and the crypt plug-in. Each is safe to call from any
// thread (the plug-in's worker calls them beside the host's own thread). The host owns them:
// their Release does nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "HostContainer.h"
#include "HostCrypt.h"
#include "HostProfile.h"
#include "ICheckDeviceType.h"
#include "INetConnect.h"
#include "ISetting.h"
#include "IStringResMgr.h"

// Told what the plug-in does to the host; called on the plug-in's thread.
class HostObserver {
public:
    virtual ~HostObserver() = default;
    // store is "system" or "user"; texts are UTF-8.
    virtual void OnSettingWritten(const std::string& store, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;
    virtual void OnSimTypeNumber(int32_t simType) = 0;
    // A profile file could not be written back.
    virtual void OnSaveFailed(const std::string& error) = 0;
};

class HostSetting : public ISetting {
public:
    // defaultCrypt is served for "CRYPT"/"CRYPT" when system.ini has none.
    HostSetting(HostProfile& profile, std::string defaultCrypt, HostObserver* pObserver);

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
    bool GetNamedSetting(const std::string& name, std::string& value) override;
    void SetSimTypeNumber(int32_t simType) override;

    std::vector<int32_t> SimTypeNumbers() const;

private:
    bool Write(IniFile& file, const char* name, const char* store, const std::string& section,
               const std::string& key, const std::string& value);

    mutable std::mutex m_mutex;
    HostProfile& m_profile;
    const std::string m_strDefaultCrypt;
    HostObserver* m_pObserver;
    std::vector<int32_t> m_simTypes;
};

class HostStringRes : public IStringResMgr {
public:
    explicit HostStringRes(const HostProfile& profile) : m_profile(profile) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    std::string GetString(int32_t id) override;

private:
    const HostProfile& m_profile;  // read only after loading
};

// The data card: each read takes the next scripted result; the last one repeats.
class HostCard : public MTSComm {
public:
    explicit HostCard(const CardProfile& card) : m_card(card) {}
    bool SRVGetImsiInfo(char* pImsi, int32_t& error) override;
    bool SRVGetSpnData(char* pSpn, int32_t& error) override;

    // For later steps of a run (scripts): change the card.
    void SetCard(const CardProfile& card);
    bool HasComm() const;
    int ImsiReads() const { return m_nImsiReads; }
    int SpnReads() const { return m_nSpnReads; }

private:
    static bool Read(const std::string& text, const std::vector<int32_t>& results, size_t& next,
                     char* buf, size_t size, int32_t& error);
    mutable std::mutex m_mutex;
    CardProfile m_card;
    size_t m_nextImsi = 0;
    size_t m_nextSpn = 0;
    std::atomic<int> m_nImsiReads{0};
    std::atomic<int> m_nSpnReads{0};
};

class HostDevice : public ICheckDeviceType {
public:
    explicit HostDevice(HostCard& card) : m_card(card) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    MTSComm* GetMTSComm() override { return m_card.HasComm() ? &m_card : nullptr; }
    bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;
    bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;

    // Tells every registered listener, from a snapshot; returns how many were told.
    int SendEvent(int32_t code);
    size_t ListenerCount() const;

private:
    mutable std::mutex m_mutex;
    HostCard& m_card;
    std::vector<ICheckDeviceEvent*> m_listeners;
    int32_t m_nEventData = 0;  // what the event's pointer points at
};

class HostNet : public INetConnect {
public:
    explicit HostNet(int32_t state) : m_nState(state) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    int32_t GetConnectState() override { return m_nState; }
    std::atomic<int32_t> m_nState;
};

class HostNetCheck : public ICheckNetConnection {
public:
    explicit HostNetCheck(int32_t result) : m_nResult(result) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    int32_t CheckConnection() override { return m_nResult; }
    std::atomic<int32_t> m_nResult;
};

// All of the above for one profile.
class HostServices {
public:
    HostServices(HostProfile& profile, HostObserver* pObserver);
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    // Serves every service under its plug-in ID and interface number.
    void Register(HostContainer& container);

    HostCrypt crypt;
    HostSetting setting;
    HostStringRes strings;
    HostCard card;
    HostDevice device;
    HostNet net;
    HostNetCheck check;
};
