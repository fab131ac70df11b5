#include "LoginPluginImpl.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <utility>

#include "AbiInfoImpl.h"
#include "LoginImpl.h"
#include "LoginResponseImpl.h"
#include "ProxyInfoImpl.h"
#include "RegResponseImpl.h"
#include "SettingUIImpl.h"
#include "libs/trace/Trace.h"

namespace {

constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginPluginImpl"};

// A release, the dialog's end included, takes no longer than this.
constexpr std::chrono::seconds kReleaseBudget{5};

std::atomic<CLoginPluginImpl*> g_pPlugin{nullptr};
// Serialises making and dropping the singleton: two first calls make one object.
std::mutex g_PluginMutex;
std::atomic<int> g_nFailCreations{0};
LoginEnvironment g_TestEnvironment;

}  // namespace

void SetCreatePluginFailuresForTest(int count) {
    g_nFailCreations = count;
}

void SetLoginEnvironmentForTest(const LoginEnvironment& env) {
    g_TestEnvironment = env;
}

CLoginPluginImpl* CLoginPluginImpl::Singleton() {
    return g_pPlugin.load();
}

extern "C" IBasePlugin* CreatePlugin() {
    try {
        // Under the lock: a release clears the singleton under it before it frees anything.
        std::lock_guard<std::mutex> lock(g_PluginMutex);
        if (CLoginPluginImpl* existing = g_pPlugin.load()) return existing;
        if (g_nFailCreations > 0) {
            --g_nFailCreations;
            throw std::bad_alloc();
        }
        auto* plugin = new CLoginPluginImpl();
        g_pPlugin = plugin;
        return plugin;
    } catch (...) {
        // The singleton stays null so that a later call tries again.
        return nullptr;
    }
}

CLoginPluginImpl::~CLoginPluginImpl() = default;

void CLoginPluginImpl::Release() {
    const auto deadline = std::chrono::steady_clock::now() + kReleaseBudget;
    {
        // From here on a host that asks for the plug-in gets a new object, never this one.
        std::lock_guard<std::mutex> lock(g_PluginMutex);
        CLoginPluginImpl* self = this;
        g_pPlugin.compare_exchange_strong(self, nullptr);
    }
    try {
        CLoginImpl* pLogin = nullptr;
        CProxyInfoImpl* pProxy = nullptr;
        CSettingUIImpl* pSettingUI = nullptr;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            // A host that skipped OnDestroy must not keep calling a freed listener.
            if (m_pLoginImpl && m_bDeviceEventHooked) m_pLoginImpl->UnregisterDeviceEvent();
            m_bDeviceEventHooked = false;
            std::swap(pLogin, m_pLoginImpl);
            std::swap(pProxy, m_pProxyInfo);
            std::swap(pSettingUI, m_pSettingUI);
        }
        // An open settings dialog is told to end now, and closes while the worker stops.
        if (pSettingUI) pSettingUI->EndDialog(std::chrono::steady_clock::now());
        if (pLogin) {
            pLogin->StopThread();
            if (pLogin->IsAbandoned()) {
                // The worker would not stop and could not be ended: it keeps the login object
                // it runs on, so that it never touches freed memory.
                TRACE_AT(kTrace, TRACE_CRIT,
                         "Release(): login worker abandoned, login object kept!");
            } else {
                delete pLogin;
            }
        }
        delete pProxy;
        if (pSettingUI && !pSettingUI->EndDialog(deadline)) {
            // The dialog's call has not returned (or this is it): what it uses stays.
            TRACE_AT(kTrace, TRACE_CRIT,
                     "Release(): settings dialog still open, settings UI kept!");
        } else {
            delete pSettingUI;
        }
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "OnDestroy() exception!");
    }
    delete this;
}

int32_t CLoginPluginImpl::GetErrorCode() {
    return m_nErrorCode;
}

void CLoginPluginImpl::SetPluginContainer(IPluginContainer* pContainer) {
    m_pPluginContainer = pContainer;
}

bool CLoginPluginImpl::Initialize() {
    m_bInitialized = true;
    m_nErrorCode = 0;
    return true;
}

uint32_t CLoginPluginImpl::GetPluginType() {
    m_nErrorCode = 0;
    return LOGIN_PLUGIN_TYPE;
}

const char* CLoginPluginImpl::GetPluginID() {
    m_nErrorCode = 0;
    return LOGIN_PLUGIN_ID;
}

uint32_t CLoginPluginImpl::GetPluginVersion() {
    m_nErrorCode = 0;
    return LOGIN_PLUGIN_VERSION;
}

const char* CLoginPluginImpl::GetPluginName() {
    m_nErrorCode = 0;
    return LOGIN_PLUGIN_NAME;
}

bool CLoginPluginImpl::IsAvailable() {
    return true;
}

void CLoginPluginImpl::OnDestroy() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_pLoginImpl) m_pLoginImpl->UnregisterDeviceEvent();
    m_bDeviceEventHooked = false;
}

bool CLoginPluginImpl::QueryInterface(int32_t number, IBaseInterface** ppInterface) {
    try {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        switch (number) {
            case IID_LOGIN:
            case IID_LOGIN_ALIAS:
                return QueryLogin(ppInterface);
            case IID_REG_RESPONSE:
                return QueryRegResponse(ppInterface);
            case IID_LOGIN_RESPONSE:
                return QueryLoginResponse(ppInterface);
            case IID_PROXY_INFO:
                return QueryProxyInfo(ppInterface);
            case IID_SETTING_UI:
                return QuerySettingUI(ppInterface);
            case IID_ABI_INFO:
                *ppInterface = AbiInfo();
                m_nErrorCode = 0;
                return true;
            default:
                TRACE_AT(kTrace, TRACE_INFO, "default!");
                *ppInterface = nullptr;
                m_nErrorCode = -1;
                return false;
        }
    } catch (...) {
        if (ppInterface) *ppInterface = nullptr;
        m_nErrorCode = -1;
        return false;
    }
}

bool CLoginPluginImpl::QueryLogin(IBaseInterface** ppInterface) {
    try {
        if (!m_pPluginContainer) {
            TRACE_AT(kTrace, TRACE_ERRO, "m_pPluginContainer is NULL!");
            return false;
        }
        if (!m_pLoginImpl) {
            TRACE_AT(kTrace, TRACE_INFO,
                     "QueryInterface() m_pLoginImpl is NULL!, Create a new one");
            m_pLoginImpl = new CLoginImpl(m_pPluginContainer, g_TestEnvironment);
            m_pLoginImpl->Prepare();
            m_pLoginImpl->RegisterDeviceEvent();
            m_bDeviceEventHooked = true;
        }
        *ppInterface = static_cast<ILogin2*>(m_pLoginImpl);
        m_nErrorCode = 0;
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "Query ILogin interface exception!");
        m_nErrorCode = -1;
        return false;
    }
}

bool CLoginPluginImpl::QueryRegResponse(IBaseInterface** ppInterface) {
    try {
        TRACE_AT(kTrace, TRACE_INFO, "Query IRegResponse interface!");
        if (!m_pLoginImpl) {
            TRACE_AT(kTrace, TRACE_ERRO, "m_pLoginImpl is NULL!");
            return false;
        }
        if (!m_pLoginImpl->IsLoginSuccess()) {
            TRACE_AT(kTrace, TRACE_ERRO, "m_pLoginImpl->IsLoginSuccess() failed!");
            return false;
        }
        *ppInterface = new (std::nothrow) CRegResponseImpl(m_pLoginImpl->GetPassword());
        m_nErrorCode = 0;
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "Query IRegResponse interface exception!");
        m_nErrorCode = -1;
        return false;
    }
}

bool CLoginPluginImpl::QueryLoginResponse(IBaseInterface** ppInterface) {
    try {
        TRACE_AT(kTrace, TRACE_INFO, "Query ILoginResponse interface!");
        if (!m_pLoginImpl || !m_pLoginImpl->IsLoginSuccess()) return false;
        const LoginResult result = m_pLoginImpl->GetLoginResult();
        *ppInterface =
            new (std::nothrow) CLoginResponseImpl(result.strEncodeKey, result.strSessionId);
        m_nErrorCode = 0;
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "Query ILoginResponse interface exception!");
        m_nErrorCode = -1;
        return false;
    }
}

bool CLoginPluginImpl::QueryProxyInfo(IBaseInterface** ppInterface) {
    if (!m_pProxyInfo) m_pProxyInfo = new CProxyInfoImpl(m_pPluginContainer);
    *ppInterface = m_pProxyInfo;
    m_nErrorCode = 0;
    return true;
}

bool CLoginPluginImpl::QuerySettingUI(IBaseInterface** ppInterface) {
    try {
        TRACE_AT(kTrace, TRACE_INFO, "Query ISettingUI interface!");
        if (!m_pSettingUI) m_pSettingUI = new CSettingUIImpl(m_pPluginContainer);
        *ppInterface = m_pSettingUI;
        m_nErrorCode = 0;
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "Query ISettingUI interface exception!");
        m_nErrorCode = -1;
        return false;
    }
}
