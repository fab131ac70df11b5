// The login engine's one object: identity, password, outcome of the last login, skin-change
// listeners, device events, and the worker thread that signs the SIM in.
//
// Its operations are spread over several source files by concern: LoginImpl.cpp (object,
// interface slots, device events, stopping), LoginWorker.cpp, ServerExchange.cpp,
// ServerReplies.cpp, KeyFile.cpp, SimIdentity.cpp, SimBrand.cpp, SkinSwitch.cpp.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "global/Clock.h"
#include "EasyUseInterface.h"
#include "ICheckDeviceType.h"
#include "ILogin.h"
#include "IPluginContainer.h"
#include "libs/jthread/JThread.h"
#include "LoginTypes.h"
#include "SecurityPolicy.h"
#include "platform/https.h"

class CProxyInfoImpl;

// Encode key and session id of the last successful login.
struct LoginResult {
    std::string strEncodeKey;
    std::string strSessionId;
};

// What PostToServer hands back: the HTTP status of the first answer and the reply text.
struct ServerReply {
    int32_t nStatus = 0;
    std::string strText;
};

// What the engine needs from outside besides the host container; tests substitute parts.
struct LoginEnvironment {
    std::shared_ptr<IClock> clock;  // null: the real clock
    // Makes the HTTPS client of one exchange, watching the given stop request; null: the
    // platform's client.
    std::function<std::unique_ptr<IHttpClient>(HttpCancel&)> httpClient;
};

class CLoginImpl : public ILogin2, public ICheckDeviceEvent, public JThread {
public:
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

    // Called by the plug-in object.
    void RegisterDeviceEvent();
    void UnregisterDeviceEvent();
    bool StopThread();

    // Copies taken safely while the worker may write them (for the result objects).
    std::string GetPassword() const;
    LoginResult GetLoginResult() const;
    // The skin-change listeners in order of registration (a copy, safe to walk while listeners
    // are added or removed).
    std::vector<ISkinControlEvent*> EventHandlers() const;

    // The worker (login loop and sequence).
    bool DoLoginThread();
    // Takes the host's security settings for the exchanges that follow; the login sequence
    // does it once at its start.
    void ReadSecurityPolicy();
    const SecurityPolicy& Policy() const { return m_Policy; }
    std::string GetRegisterUrl();
    std::string GetLoginUrl();

    // Server exchange.
    bool PostToServer(const std::string& url, const std::string& headers, const std::string& body,
                      const std::string& proxyAddress, const std::string& proxyPort, bool bSecure,
                      ServerReply& reply);
    std::string DoRegister(const std::string& registerUrl, const std::string& imsi,
                           const std::string& simType);
    bool DoLoginServer(const std::string& loginUrl, const std::string& password,
                       const std::string& simType);
    bool GetProxyInfo(std::string& address, std::string& port);
    bool GetAccountInfo(std::string& user, std::string& password);
    // Posts a request body with the proxy settings; traces a failed post.
    bool PostForm(const std::string& url, const std::string& body, ServerReply& reply);

    // Server replies.
    std::string GetPwdFromResponse(const std::string& response);
    bool ParseLoginResult(const std::string& strResponse, LoginResult& result);

    // Key file.
    std::string GetKeyFile();
    void CreateKeyFile();
    std::string ReadPwd(const std::string& keyFile);
    bool WritePwd(const std::string& keyFile, const std::string& password);

    // SIM identity.
    std::string GetIMSI();
    std::string ReGetATIMSI();
    std::string GetDefaultIMSI();
    int CreateDefaultIMSI(std::string& identity);

    // Skin switch and plug-in list.
    bool InitSimBrandSetting(const std::string& simType);
    void RefreshPluginList();
    bool ReadPluginList(std::vector<PluginRecord>& plugins);
    bool ReadServiceScreenCodes(std::vector<std::string>& aliases);
    std::string GetModuleDir();

protected:
    // JThread: the worker loop.
    void* Thread() override;

private:
    // Guarded copies of the texts shared between the host's threads and the worker.
    std::string CachedIMSI() const;
    // The identity cache is ordered by reads of the card: each read takes a ticket as it begins
    // (and empties the cache), and what it found stands only if no read that began later has
    // stored anything since, so that a slow read never replaces a fresher identity.
    uint64_t BeginIMSIRead();
    bool StoreIMSI(const std::string& imsi, uint64_t ticket);
    // ReGetATIMSI, telling the ticket of its read.
    std::string ReadCardIMSI(uint64_t& ticket);
    void SetLoginSuccess(bool bSuccess);
    // Tells each registered skin-change listener, outside the lock; see RemoveEventHandler.
    void TellEventHandlers(SkinChangeInfo& change);
    // Ends a server exchange in progress (the stop request reaches the network).
    void CancelExchange();
    // The client of one exchange, and the steps of PostToServer that send a request.
    std::unique_ptr<IHttpClient> MakeHttpClient();
    void ThrowIfStopping();
    void SendWithCertificateRetry(IHttpClient& client, const HttpHandle& request,
                                  const std::string& headers, const std::string& body,
                                  bool bProxyAuthenticated);

    std::atomic<bool> m_bStopThread{false};
    JMutex m_StateMutex;
    std::atomic<int32_t> m_iError{0};
    IPluginContainer* m_pPluginContainer;
    CEasyUseInterface* m_pEasyUseInterface = nullptr;
    CProxyInfoImpl* m_pProxyInfo = nullptr;
    std::string m_strIMSI;
    std::string m_strPwd;
    std::atomic<bool> m_bLoginSuccess{false};
    LoginResult m_LoginResult;
    uint32_t m_dwReplyBufSize = 10240;
    std::vector<PluginRecord> m_vecPlugins;
    std::list<ISkinControlEvent*> m_lstEventHandler;
    std::string m_strModuleDir;
    JMutex m_LoginMutex;
    std::atomic<bool> m_bLogining{false};
    std::atomic<int32_t> m_nDeviceState{0};

    // Guards of the shared members above (the host's threads and the worker meet here).
    mutable std::mutex m_IMSIGuard;     // m_strIMSI, the tickets below
    uint64_t m_nIMSITickets = 0;        // tickets handed out
    uint64_t m_nIMSITicket = 0;         // the ticket of the read whose value m_strIMSI holds
    mutable std::mutex m_ResultGuard;   // m_strPwd, m_LoginResult
    mutable std::mutex m_HandlerGuard;  // m_lstEventHandler, m_vecHandlerCalls
    // The listener calls in progress and their threads: a removal waits for those of others.
    std::vector<std::pair<ISkinControlEvent*, std::thread::id>> m_vecHandlerCalls;
    std::condition_variable m_HandlerCallEnded;
    mutable std::mutex m_PluginGuard;  // m_vecPlugins, m_strModuleDir
    std::mutex m_ThreadGuard;          // starting and stopping the worker thread
    std::shared_ptr<IClock> m_pClock;
    std::function<std::unique_ptr<IHttpClient>(HttpCancel&)> m_fnMakeHttpClient;
    HttpCancel m_ExchangeCancel;  // cancelled once, when the worker is asked to stop
    SecurityPolicy m_Policy;      // the worker's only: read and used by the login sequence
};
