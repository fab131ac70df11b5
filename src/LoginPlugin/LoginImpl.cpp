// The login object itself: construction, the interface slots, device events and stopping.
#include "LoginImpl.h"

#include "libs/trace/Trace.h"

namespace {
// Most records say "LoginPlguin"; the device-event path and a few others say "LoginPlugin".
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};
constexpr TraceSite kEventTrace{"LoginPlugin", "src\\LoginPlugin\\LoginImpl"};

// "设备可用!" (device available!), GBK.
const char* const kDeviceAvailable = "\xC9\xE8\xB1\xB8\xBF\xC9\xD3\xC3!";
// "检查SIM卡品牌，发送换肤消息!" (check the SIM brand, send the skin-change message), GBK.
const char* const kCheckBrand =
    "\xBC\xEC\xB2\xE9SIM\xBF\xA8\xC6\xB7\xC5\xC6\xA3\xAC\xB7\xA2\xCB\xCD\xBB\xBB\xB7\xF4\xCF\xFB"
    "\xCF\xA2!";

constexpr int kStopBudgetSeconds = 5;
constexpr uint32_t kStopPollMs = 20;
}  // namespace

CLoginImpl::CLoginImpl(IPluginContainer* pContainer, LoginEnvironment env)
    : m_pPluginContainer(pContainer),
      m_Host(pContainer),
      m_pClock(env.clock ? env.clock : MakeRealClock()),
      m_Exchange(pContainer, m_Policy, m_bStopThread, std::move(env.httpClient)),
      m_KeyStore(pContainer),
      m_Identity(pContainer, *m_pClock),
      m_Plugins(pContainer) {
    try {
        if (!m_LoginMutex.IsInitialized()) m_LoginMutex.Init();
        if (!m_StateMutex.IsInitialized()) m_StateMutex.Init();
    } catch (...) {
    }
}

void CLoginImpl::Prepare() {
    try {
        CreateKeyFile();
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "CreateKeyFile() exception!");
    }
    try {
        InitSimBrandSetting(std::string());
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "InitSimBrandSetting() exception!");
    }
    try {
        RefreshPluginList();
    } catch (...) {
    }
}

CLoginImpl::~CLoginImpl() {
    try {
        StopThread();
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "~CLoginImpl() exception!");
    }
    // A worker that could only be abandoned still runs on this object: freeing the object under
    // it would be worse than waiting. The plug-in object never gets here with such a worker (it
    // keeps the login object instead), so this wait is for other owners only.
    if (IsAbandoned() && IsRunning()) {
        TRACE_AT(kTrace, TRACE_CRIT, "~CLoginImpl() waits for an abandoned worker!");
        while (IsRunning()) m_pClock->Pause(kStopPollMs);
    }
}

void CLoginImpl::Release() {}

int32_t CLoginImpl::GetErrorCode() {
    return m_iError;
}

bool CLoginImpl::StartLogin() {
    try {
        if (m_bLogining) return true;
        SetLoginSuccess(false);
        // Two host threads calling at once must not both start a worker.
        std::lock_guard<std::mutex> lock(m_ThreadGuard);
        if (!IsRunning()) Start();
        return true;
    } catch (...) {
        return false;
    }
}

bool CLoginImpl::IsLoginSuccess() {
    return m_bLoginSuccess;
}

bool CLoginImpl::IsPluginUnlisted(std::string clsid) {
    try {
        return m_Plugins.IsUnlisted(clsid);
    } catch (...) {
        return false;
    }
}

bool CLoginImpl::SetEventHandler(ISkinControlEvent* pHandler) {
    if (!pHandler) return false;
    try {
        m_Listeners.Add(pHandler);
        return true;
    } catch (...) {
        TRACE_AT(kEventTrace, TRACE_CRIT, "CLoginImpl::SetEventHandler() exception!");
        return false;
    }
}

bool CLoginImpl::RemoveEventHandler(ISkinControlEvent* pHandler) {
    if (!pHandler) return false;
    try {
        // A listener may be deleted once this returns.
        m_Listeners.Remove(pHandler);
        return true;
    } catch (...) {
        return false;
    }
}

int32_t CLoginImpl::DetectIsLogining() {
    try {
        return (m_bLogining && IsRunning()) ? 0 : 1;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DetectIsLogining() Exception!");
        return 1;
    }
}

bool CLoginImpl::OnDeviceEvent(int32_t code, void* pData) {
    if (!pData) return false;
    try {
        // Only a change of device state acts; the exchange makes one caller see each change.
        if (code == DEVICE_EVENT_AVAILABLE) {
            TRACE_AT(kEventTrace, TRACE_INFO, kDeviceAvailable);
            if (m_nDeviceState.exchange(DEVICE_EVENT_AVAILABLE) != DEVICE_EVENT_AVAILABLE) {
                TRACE_AT(kEventTrace, TRACE_INFO, kCheckBrand);
                CheckSimCardType(std::string());
                ReGetATIMSI();
            }
        } else if (code == DEVICE_EVENT_CHANGED) {
            if (m_nDeviceState.exchange(DEVICE_EVENT_CHANGED) != DEVICE_EVENT_CHANGED)
                ReGetATIMSI();
        }
        return true;
    } catch (...) {
        TRACE_AT(kEventTrace, TRACE_CRIT, "OnDeviceEvent() exception!");
        return false;
    }
}

void CLoginImpl::RegisterDeviceEvent() {
    const HostRef<ICheckDeviceType> device = m_Host.CheckDeviceType();
    if (!device) return;
    try {
        device->AddDeviceEvent(static_cast<ICheckDeviceEvent*>(this), DEVICE_EVENT_KIND_CARD);
    } catch (...) {
    }
}

void CLoginImpl::UnregisterDeviceEvent() {
    const HostRef<ICheckDeviceType> device = m_Host.CheckDeviceType();
    if (!device) return;
    try {
        device->RemoveDeviceEvent(static_cast<ICheckDeviceEvent*>(this), DEVICE_EVENT_KIND_CARD);
    } catch (...) {
    }
}

bool CLoginImpl::StopThread() {
    try {
        std::lock_guard<std::mutex> lock(m_ThreadGuard);
        m_bStopThread = true;
        // Every wait of the worker ends at once from here on; the exchange sees the stop too.
        m_pClock->Stop();
        m_Exchange.Cancel();
        const int64_t start = m_pClock->Now();
        // A worker given up on before is neither waited for nor killed again.
        while (IsRunning() && !IsAbandoned() && m_pClock->Now() - start < kStopBudgetSeconds)
            m_pClock->Pause(kStopPollMs);
        if (IsRunning() && !IsAbandoned()) Kill();
        return true;
    } catch (...) {
        TRACE_AT(kEventTrace, TRACE_CRIT, "CLoginImpl::StopThread() exception!");
        return false;
    }
}

std::string CLoginImpl::GetPassword() const {
    std::lock_guard<std::mutex> lock(m_ResultGuard);
    return m_strPwd;
}

LoginResult CLoginImpl::GetLoginResult() const {
    std::lock_guard<std::mutex> lock(m_ResultGuard);
    return m_LoginResult;
}

void CLoginImpl::SetPassword(const std::string& password) {
    std::lock_guard<std::mutex> lock(m_ResultGuard);
    m_strPwd = password;
}

std::string CLoginImpl::GetIMSI() {
    StepOutcome identity = m_Identity.Get();
    KeepStateCode(identity.code);
    return std::move(identity.text);
}

std::string CLoginImpl::ReGetATIMSI() {
    uint64_t ticket = 0;
    StepOutcome identity = m_Identity.ReadCard(ticket);
    KeepStateCode(identity.code);
    return std::move(identity.text);
}

void CLoginImpl::SetLoginSuccess(bool bSuccess) {
    m_StateMutex.Lock();
    m_bLoginSuccess = bSuccess;
    m_StateMutex.Unlock();
}
