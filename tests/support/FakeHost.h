// A small in-test host: the container and the sibling plug-ins' interfaces, each scriptable and
// counting its calls. Everything is safe to call from the worker and the test thread at once.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ICheckDeviceType.h"
#include "ICryptPlugin.h"
#include "INetConnect.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"
#include "PluginIds.h"

// Counts Release calls; the host's objects live as long as the test's FakeHost.
class FakeReleaseCounter {
public:
    int Releases() const { return m_nReleases; }

protected:
    void CountRelease() { ++m_nReleases; }

private:
    std::atomic<int> m_nReleases{0};
};

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
    std::string SysValue(const std::string& section, const std::string& key) const;
    std::string UserValue(const std::string& section, const std::string& key) const;
    bool HasSys(const std::string& section, const std::string& key) const;
    std::vector<int32_t> SimTypeNumbers() const;
    // Every SetSysSetting, in order, as "SECTION/KEY=value".
    std::vector<std::string> SysWrites() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::string> m_sys;
    std::map<std::pair<std::string, std::string>, std::string> m_user;
    std::map<std::string, std::string> m_named;
    std::vector<int32_t> m_simTypes;
    std::vector<std::string> m_sysWrites;
};

class FakeStringRes : public IStringResMgr, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    std::string GetString(int32_t id) override;
    void Set(int32_t id, const std::string& text);

private:
    std::mutex m_mutex;
    std::map<int32_t, std::string> m_strings;
};

// The data card. Each read takes the next scripted answer; the last one repeats.
class FakeMTSComm : public MTSComm {
public:
    struct Answer {
        bool ok;
        std::string text;
        int32_t error;
    };
    bool SRVGetImsiInfo(char* pImsi, int32_t& error) override;
    bool SRVGetSpnData(char* pSpn, int32_t& error) override;

    void SetImsi(const std::string& imsi);
    void ScriptImsi(std::vector<Answer> answers);
    void SetSpn(const std::string& spn);
    void ScriptSpn(std::vector<Answer> answers);
    int ImsiReads() const { return m_nImsiReads; }
    // Called on the reading thread once a read has taken its answer, with the read's number
    // (from 1), before the answer goes back; set it before the reads begin.
    void OnImsiRead(std::function<void(int)> hook) { m_fnOnImsiRead = std::move(hook); }
    int SpnReads() const { return m_nSpnReads; }

private:
    static bool Take(std::deque<Answer>& script, char* buf, size_t size, int32_t& error);
    std::mutex m_mutex;
    std::deque<Answer> m_imsi{{true, "460001234567890", 0}};
    std::deque<Answer> m_spn{{true, "", 0}};
    std::atomic<int> m_nImsiReads{0};
    std::function<void(int)> m_fnOnImsiRead;
    std::atomic<int> m_nSpnReads{0};
};

class FakeCheckDeviceType : public ICheckDeviceType, public FakeReleaseCounter {
public:
    explicit FakeCheckDeviceType(MTSComm* pComm) : m_pComm(pComm) {}
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    MTSComm* GetMTSComm() override { return m_pComm; }
    bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;
    bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) override;

    void SetComm(MTSComm* pComm) { m_pComm = pComm; }
    std::vector<ICheckDeviceEvent*> Listeners() const;

private:
    std::atomic<MTSComm*> m_pComm;
    mutable std::mutex m_mutex;
    std::vector<ICheckDeviceEvent*> m_listeners;
};

class FakeNetConnect : public INetConnect, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    int32_t GetConnectState() override { return m_nState; }
    std::atomic<int32_t> m_nState{0};
};

class FakeCheckNetConnection : public ICheckNetConnection, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    int32_t CheckConnection() override { return m_nResult; }
    std::atomic<int32_t> m_nResult{0};
};

// Enciphers by a reversible byte mapping marked with a prefix, so a test can tell enciphered
// text from plain text. DecryptBuffer XORs with the key (enough for the engine's call sequence).
class FakeCrypt : public ICryptPlugin, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    std::string Encrypt(const std::string& plain) override;
    std::string Decrypt(const std::string& cipher) override;
    int32_t DecryptBuffer(const unsigned char* pInput, uint32_t count, unsigned char* pOutput,
                          const unsigned char* pKey, uint32_t keyLength) override;
    // The bytes that DecryptBuffer turns into plain with this key.
    static std::string EncodeBuffer(const std::string& plain, const std::string& key);
    std::atomic<int32_t> m_nDecryptBufferResult{0};
};

class FakeContainer : public IPluginContainer {
public:
    bool QueryInterface(const char* pluginId, int32_t number,
                        IBaseInterface** ppInterface) override;
    void Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface);
    void Withdraw(const std::string& pluginId, int32_t number);
    // Answers false for that interface (as a host that serves nothing).
    void Refuse(const std::string& pluginId, int32_t number);
    int Queries(const std::string& pluginId, int32_t number) const;

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, int32_t>, IBaseInterface*> m_served;
    std::map<std::pair<std::string, int32_t>, int> m_queries;
};

// Everything wired together, serving all sibling interfaces.
struct FakeHost {
    FakeHost();
    FakeSetting setting;
    FakeStringRes strings;
    FakeMTSComm comm;
    FakeCheckDeviceType device{&comm};
    FakeNetConnect net;
    FakeCheckNetConnection check;
    FakeCrypt crypt;
    FakeContainer container;
};
