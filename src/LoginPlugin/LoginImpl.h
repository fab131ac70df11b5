// The login engine's one object: the operations and slots the host calls, and the worker thread
// that signs the SIM in. Each operation is a short caller of the parts it holds:
//   AccountReplies.h / AccountRequests.h  the server's replies and the requests' bodies (text)
//   AccountExchange.h                     one form POST over HTTPS, with the user's proxy
//   KeyStore.h                            the stored password
//   IdentitySource.h                      the SIM's identity and the default one
//   SkinListeners.h, PluginList.h         the skin-change listeners, the host's plug-in list
// Its own sources: LoginImpl.cpp (object, slots, device events, stopping), LoginWorker.cpp (the
// worker loop), LoginSequence.cpp (one login: registration when needed, login; the one writer of
// the state code), SimBrand.cpp (the SIM's brand), SkinSwitch.cpp (brand to skin).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AccountExchange.h"
#include "AccountReplies.h"
#include "EasyUseInterface.h"
#include "ICheckDeviceType.h"
#include "IdentitySource.h"
#include "ILogin.h"
#include "IPluginContainer.h"
#include "libs/jthread/JThread.h"
#include "KeyStore.h"
#include "LoginSequence.h"
#include "LoginTypes.h"
#include "PluginList.h"
#include "SecurityPolicy.h"
#include "SkinListeners.h"
#include "global/Clock.h"

// What the engine needs from outside besides the host container; tests substitute parts.
struct LoginEnvironment {
    std::shared_ptr<IClock> clock;  // null: the real clock
    // Makes the HTTPS client of one exchange, watching the given stop request; null: the
    // platform's client.
    HttpClientFactory httpClient;
};

class CLoginImpl : public ILogin2, public ICheckDeviceEvent, public JThread {
public:
    // Touches nothing outside the object: the start-up reads and writes are Prepare's.
    explicit CLoginImpl(IPluginContainer* pContainer, LoginEnvironment env = {});
    ~CLoginImpl() override;
    CLoginImpl(const CLoginImpl&) = delete;
    CLoginImpl& operator=(const CLoginImpl&) = delete;

    // ILogin2, in slot order.
    void Release() override;
    int32_t GetErrorCode() override;
    bool StartLogin() override;
    bool IsLoginSuccess() override;
    bool IsPluginUnlisted(std::string clsid) override;
    void CheckSimCardType(const std::string& simType) override;
    bool SetEventHandler(ISkinControlEvent* pHandler) override;
    bool RemoveEventHandler(ISkinControlEvent* pHandler) override;
    int32_t DetectIsLogining() override;
    // The object's own slot after those of ILogin2.
    virtual SimCardInfo GetSimCardInfo();

    // ICheckDeviceEvent.
    bool OnDeviceEvent(int32_t code, void* pData) override;

    // Called by the plug-in object. Prepare, once, right after construction: the key file, the
    // SIM's brand setting and the plug-in list.
    void Prepare();
    void RegisterDeviceEvent();
    void UnregisterDeviceEvent();
    bool StopThread();

    // Copies taken safely while the worker may write them (for the result objects).
    std::string GetPassword() const;
    LoginResult GetLoginResult() const;
    std::vector<ISkinControlEvent*> EventHandlers() const { return m_Listeners.Snapshot(); }

    // The worker (login loop and sequence).
    bool DoLoginThread();
    // Takes the host's security settings for the exchanges that follow; the login sequence
    // does it once at its start.
    void ReadSecurityPolicy();
    const SecurityPolicy& Policy() const { return m_Policy; }
    std::string GetRegisterUrl();
    std::string GetLoginUrl();

    // Registration and login, over the account exchange. The state code they report is the
    // login sequence's to keep; PostToServer keeps it itself.
    bool PostToServer(const std::string& url, const std::string& headers, const std::string& body,
                      const std::string& proxyAddress, const std::string& proxyPort, bool bSecure,
                      ServerReply& reply);
    StepOutcome DoRegister(const std::string& registerUrl, const std::string& imsi,
                           const std::string& simType);
    StepOutcome DoLoginServer(const std::string& loginUrl, const std::string& password,
                              const std::string& simType);

    // Key file.
    std::string GetKeyFile() { return m_KeyStore.Path(); }
    void CreateKeyFile() { m_KeyStore.Create(); }
    std::string ReadPwd(const std::string& keyFile) { return KeyStore::Read(keyFile); }
    bool WritePwd(const std::string& keyFile, const std::string& password) {
        return KeyStore::Write(keyFile, password);
    }

    // SIM identity; a failed card read leaves the host's reason as the state code.
    std::string GetIMSI();
    std::string ReGetATIMSI();
    std::string GetDefaultIMSI() { return m_Identity.Default(); }

    // Skin switch and plug-in list.
    bool InitSimBrandSetting(const std::string& simType);
    void RefreshPluginList() { m_Plugins.Refresh(); }
    std::string GetModuleDir() { return m_Plugins.ModuleDir(); }

protected:
    // JThread: the worker loop.
    void* Thread() override;

private:
    friend class LoginObjectSteps;  // the login sequence's steps, carried out on this object

    // The one writer of the state code: a reported code replaces it, none leaves it.
    void KeepStateCode(const std::optional<int32_t>& code);
    SimCardInfo ReadSimCardInfo(std::optional<int32_t>& spnError);
    void SetLoginSuccess(bool bSuccess);
    void SetPassword(const std::string& password);

    // Declared before the parts, which hold references to the flag, the clock and the policy.
    std::atomic<bool> m_bStopThread{false};
    JMutex m_StateMutex;
    std::atomic<int32_t> m_iError{0};
    IPluginContainer* m_pPluginContainer;
    CEasyUseInterface m_Host;
    std::shared_ptr<IClock> m_pClock;
    SecurityPolicy m_Policy;  // the worker's only: read and used by the login sequence
    AccountExchange m_Exchange;
    KeyStore m_KeyStore;
    IdentitySource m_Identity;
    SkinListeners m_Listeners;
    PluginRoster m_Plugins;
    mutable std::mutex m_ResultGuard;  // m_strPwd, m_LoginResult
    std::string m_strPwd;
    LoginResult m_LoginResult;
    std::atomic<bool> m_bLoginSuccess{false};
    JMutex m_LoginMutex;
    std::atomic<bool> m_bLogining{false};
    std::atomic<int32_t> m_nDeviceState{0};
    std::mutex m_ThreadGuard;  // starting and stopping the worker thread
};
