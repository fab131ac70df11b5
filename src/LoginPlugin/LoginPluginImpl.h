// The plug-in object: the library's face towards the host. It identifies the plug-in, hands out
// its interfaces by number and owns the long-lived objects behind them.
#pragma once

#include <atomic>
#include <mutex>

#include "IBasePlugin.h"
#include "IPluginContainer.h"
#include "PluginIds.h"

class CLoginImpl;
struct LoginEnvironment;
class CProxyInfoImpl;
class CSettingUIImpl;

class CLoginPluginImpl : public IBasePlugin, public IDestroyEvent {
public:
    CLoginPluginImpl() = default;
    CLoginPluginImpl(const CLoginPluginImpl&) = delete;
    CLoginPluginImpl& operator=(const CLoginPluginImpl&) = delete;

    // IBasePlugin, in slot order.
    void Release() override;
    int32_t GetErrorCode() override;
    void SetPluginContainer(IPluginContainer* pContainer) override;
    bool Initialize() override;
    bool QueryInterface(int32_t number, IBaseInterface** ppInterface) override;
    uint32_t GetPluginType() override;
    const char* GetPluginID() override;
    uint32_t GetPluginVersion() override;
    const char* GetPluginName() override;
    bool IsAvailable() override;

    // IDestroyEvent.
    void OnDestroy() override;

    // The process-wide object; null until the first successful CreatePlugin.
    static CLoginPluginImpl* Singleton();

private:
    virtual ~CLoginPluginImpl();

    bool QueryLogin(IBaseInterface** ppInterface);
    bool QueryRegResponse(IBaseInterface** ppInterface);
    bool QueryLoginResponse(IBaseInterface** ppInterface);
    bool QueryProxyInfo(IBaseInterface** ppInterface);
    bool QuerySettingUI(IBaseInterface** ppInterface);

    // Hosts call from several threads: the owned objects are made and handed out under one lock,
    // so that two first requests make one object. Recursive: a host may hand a request made while
    // an object is being built (for this plug-in's own interfaces) back to this object.
    std::recursive_mutex m_mutex;
    std::atomic<bool> m_bInitialized{false};
    std::atomic<IPluginContainer*> m_pPluginContainer{nullptr};
    std::atomic<int32_t> m_nErrorCode{0};
    CLoginImpl* m_pLoginImpl = nullptr;
    // The login object is among the host's device-event listeners (until OnDestroy or Release).
    bool m_bDeviceEventHooked = false;
    CProxyInfoImpl* m_pProxyInfo = nullptr;
    CSettingUIImpl* m_pSettingUI = nullptr;
};

// The library's one export (LOGIN_EXPORT gives it default visibility where the rest is hidden).
extern "C" LOGIN_EXPORT IBasePlugin* CreatePlugin();

// Test seam: makes the next CreatePlugin attempts fail as an allocation failure would.
void SetCreatePluginFailuresForTest(int count);
// Test seam: the clock and HTTPS client of the login objects the plug-in objects make from now on.
void SetLoginEnvironmentForTest(const LoginEnvironment& env);
