// The reference host's services, served from a profile: settings, strings, the data card (from
// a card source) with its device events, the network state and the crypt plug-in. Each is safe to
// call from any thread (the plug-in's worker calls them beside the host's own thread). The host
// owns them: their Release does nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CardSource.h"
#include "HostContainer.h"
#include "HostCrypt.h"
#include "HostProfile.h"
#include "ICheckDeviceType.h"
#include "INetConnect.h"
#include "ISetting.h"
#include "IStringResMgr.h"
#include "SimulatedCard.h"

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
    // defaultCrypt is served for "CRYPT"/"CRYPT" when system.ini has none, and the build's
    // default skin for "SKIN"/"ACTIVE".
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

// The profile's strings.ini, and the host's own texts for the numbers it does not give.
class HostStringRes : public IStringResMgr {
public:
    explicit HostStringRes(const HostProfile& profile) : m_profile(profile) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    std::string GetString(int32_t id) override;

private:
    const HostProfile& m_profile;  // read only after loading
};

// MTSComm served from the host's card source, with the buffer sizes of the host contract.
class HostComm : public MTSComm {
public:
    explicit HostComm(CardSource& card) : m_card(card) {}
    bool SRVGetImsiInfo(char* pImsi, int32_t& error) override {
        return m_card.ReadImsi(pImsi, MTS_IMSI_BUFFER_SIZE, error);
    }
    bool SRVGetSpnData(char* pSpn, int32_t& error) override {
        return m_card.ReadSpn(pSpn, MTS_SPN_BUFFER_SIZE, error);
    }

private:
    CardSource& m_card;
};

class HostDevice : public ICheckDeviceType {
public:
    explicit HostDevice(CardSource& card) : m_card(card), m_comm(card) {}
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    MTSComm* GetMTSComm() override { return m_card.HasComm() ? &m_comm : nullptr; }
    bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;
    bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;

    // Tells every registered listener, from a snapshot; returns how many were told.
    int SendEvent(int32_t code);
    size_t ListenerCount() const;

private:
    mutable std::mutex m_mutex;
    CardSource& m_card;
    HostComm m_comm;
    std::vector<ICheckDeviceEvent*> m_listeners;
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
    // The card is the profile's simulated card, unless another source is given.
    HostServices(HostProfile& profile, HostObserver* pObserver,
                 std::unique_ptr<CardSource> card = nullptr);
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    // Serves every service under its plug-in ID and interface number.
    void Register(HostContainer& container);

    HostCrypt crypt;
    HostSetting setting;
    HostStringRes strings;
    std::unique_ptr<CardSource> card;
    SimulatedCard* simulated;  // card when it is the simulated one, else null
    HostDevice device;
    HostNet net;
    HostNetCheck check;
};
