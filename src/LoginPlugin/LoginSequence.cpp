// The login sequence: identity, SIM type, key file, registration when needed, login; and its two
// requests to the account server, registration and login.
#include <fstream>

#include "AccountRequests.h"
#include "LoginImpl.h"
#include "LoginSettings.h"
#include "LoginStates.h"
#include "PluginIds.h"
#include "libs/trace/Trace.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

// Ends the login sequence on every way out: the flag first, then the lock.
class SequenceGuard {
public:
    SequenceGuard(JMutex& mutex, std::atomic<bool>& bLogining)
        : m_mutex(mutex), m_bLogining(bLogining) {
        m_mutex.Lock();
        m_bLogining = true;
    }
    ~SequenceGuard() {
        m_bLogining = false;
        m_mutex.Unlock();
    }
    SequenceGuard(const SequenceGuard&) = delete;
    SequenceGuard& operator=(const SequenceGuard&) = delete;

private:
    JMutex& m_mutex;
    std::atomic<bool>& m_bLogining;
};
}  // namespace

bool CLoginImpl::DoLoginThread() {
    TRACE_AT(kTrace, TRACE_INFO, "Enter DoLoginThread()!");
    if (m_bLogining) return false;
    try {
        SequenceGuard sequence(m_LoginMutex, m_bLogining);

        if (!m_pPluginContainer) {
            TRACE_AT(kTrace, TRACE_WARN, "m_pPluginContainer is NULL!");
            return false;
        }
        ReadSecurityPolicy();
        // GetIMSI keeps what it finds in the cache, in the order of the card's reads; an empty
        // cache seen again afterwards is an event's read in progress, not a missing identity.
        if (m_Identity.Cached().empty() && GetIMSI().empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "m_strIMSI equal !");
            m_iError = LOGIN_STATE_IDENTITY_OR_SCHEME;
            return false;
        }
        const std::string simType = GetSimCardInfo().name;
        if (simType.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strSimTypeID equal !");
            m_iError = LOGIN_STATE_SIM_TYPE_OR_REPLY;
            return false;
        }
        const std::string keyFile = GetKeyFile();
        if (keyFile.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strKeyFile equal !");
            m_iError = LOGIN_STATE_KEY_PATH_OR_URL;
            return false;
        }

        std::string password = ReadPwd(keyFile);
        SetPassword(password);
        // Registers the SIM and keeps the password the server hands out; false when none came.
        auto registerSim = [&]() {
            const std::string registerUrl = GetRegisterUrl();
            if (registerUrl.empty()) {
                TRACE_AT(kTrace, TRACE_WARN, "strRegURL equal !");
                return false;
            }
            password = DoRegister(registerUrl, GetIMSI(), simType);
            SetPassword(password);
            if (password.empty()) {
                TRACE_AT(kTrace, TRACE_WARN, "m_strPwd equal !");
                return false;
            }
            return true;
        };
        if (password.empty() && !registerSim()) return false;

        const std::string loginUrl = GetLoginUrl();
        if (loginUrl.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strLoginURL equal !");
            return false;
        }
        bool bLoggedIn = DoLoginServer(loginUrl, password, simType);
        if (!bLoggedIn && (m_iError == LOGIN_SERVER_WRONG_PASSWORD ||
                           m_iError == LOGIN_SERVER_UNKNOWN_IDENTITY)) {
            // The server does not know the password: register again and log in once more.
            if (!registerSim()) return false;
            if (!DoLoginServer(loginUrl, password, simType)) {
                TRACE_AT(kTrace, TRACE_ERRO, "DoLoginServer failed!");
                return false;
            }
            bLoggedIn = true;
        }
        // A refusal that left no code counts as success, unless the policy wants a session.
        if (!bLoggedIn && (m_iError != LOGIN_STATE_OK || !m_Policy.CountsLoginWithoutSession())) {
            TRACE_AT(kTrace, TRACE_ERRO, "DoLoginServer failed!");
            return false;
        }

        SetLoginSuccess(true);
        TRACE_AT(kTrace, TRACE_INFO, "Leave DoLoginThread()!");
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoLoginThread() exception!");
        return false;
    }
}

void CLoginImpl::ReadSecurityPolicy() {
    const HostRef<ISetting> setting = m_Host.Setting();
    m_Policy = SecurityPolicy::FromSettings(setting.Get());
    if (!m_Policy.IsStrict()) return;
    const std::string& caFile = m_Policy.CaFile();
    TRACE_AT(kTrace, TRACE_INFO,
             "strict security mode, trusted issuers: " +
                 (caFile.empty() ? std::string("the system's") : caFile));
    // Kept even so: the exchange then fails rather than trust issuers the host did not name.
    if (!caFile.empty() && !std::ifstream(caFile).is_open()) {
        TRACE_AT(kTrace, TRACE_ERRO, "SECURITY/CAFILE cannot be read: " + caFile);
    }
}

namespace {
// The one URL of a section of the host's system settings; empty on any failure.
std::string ReadUrl(IPluginContainer* pContainer, const LoginSettingName& name) {
    bool bAnswered = false;
    const HostRef<ISetting> setting =
        QueryHost<ISetting>(pContainer, PLUGIN_ID_SETTING, IID_SETTING, &bAnswered);
    if (!bAnswered) {
        TRACE_AT(kTrace, TRACE_ERRO, "m_pPluginContainer->QueryInterface() failed!");
        return {};
    }
    if (!setting) {
        TRACE_AT(kTrace, TRACE_ERRO, "pISetting == NULL failed!");
        return {};
    }
    std::string value;
    if (!setting->GetSysSetting(name.section, name.key, value)) {
        TRACE_AT(kTrace, TRACE_ERRO, "pISetting->GetSysSetting() failed!");
        TRACE_AT(kTrace, TRACE_ERRO,
                 std::string("setting ") + name.section + "/" + name.key + " is missing");
        return {};
    }
    return value;
}
}  // namespace

std::string CLoginImpl::GetRegisterUrl() {
    try {
        if (!m_pPluginContainer) return {};
        return ReadUrl(m_pPluginContainer, SETTING_REGISTER_URL);
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetRegisterUrl() exception!");
        return {};
    }
}

std::string CLoginImpl::GetLoginUrl() {
    try {
        if (!m_pPluginContainer) {
            TRACE_AT(kTrace, TRACE_INFO, "m_pPluginContainer is NULL!");
            return {};
        }
        return ReadUrl(m_pPluginContainer, SETTING_LOGIN_URL);
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetLoginUrl() exception!");
        return {};
    }
}

std::string CLoginImpl::DoRegister(const std::string& registerUrl, const std::string& imsi,
                                   const std::string& simType) {
    try {
        if (registerUrl.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strURL equal !");
            return {};
        }
        if (imsi.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strIMSI equal !");
            return {};
        }
        const std::string body = RegistrationBody(m_Policy, imsi, simType);
        ServerReply reply;
        if (!PostForm(registerUrl, body, reply)) return {};
        std::string password = GetPwdFromResponse(reply.strText);
        if (password.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strPwd equal !");
            return {};
        }
        const std::string keyFile = GetKeyFile();
        if (keyFile.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strKeyFile equal !");
            return password;
        }
        if (!WritePwd(keyFile, password)) TRACE_AT(kTrace, TRACE_ERRO, "WritePwd() failed!");
        return password;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoRegister() exception!");
        return {};
    }
}

bool CLoginImpl::DoLoginServer(const std::string& loginUrl, const std::string& password,
                               const std::string& simType) {
    try {
        const std::string imsi = GetIMSI();
        if (imsi.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strIMSI equal !");
            return false;
        }
        const std::string body = LoginBody(m_Policy, imsi, password, simType);
        ServerReply reply;
        if (!PostForm(loginUrl, body, reply)) return false;
        LoginResult parsed;
        if (ParseLoginResult(reply.strText, parsed) &&
            (m_Policy.CountsLoginWithoutSession() ||
             (!parsed.strEncodeKey.empty() && !parsed.strSessionId.empty()))) {
            {
                std::lock_guard<std::mutex> lock(m_ResultGuard);
                m_LoginResult = std::move(parsed);
            }
            m_iError = LOGIN_STATE_OK;
            return true;
        }
        if (!m_Policy.CountsLoginWithoutSession() && m_iError == LOGIN_STATE_OK) {
            // No refusal code, yet no session either: the host is told the reply was not one.
            TRACE_AT(kTrace, TRACE_ERRO, "login reply carries no session!");
            m_iError = LOGIN_STATE_SIM_TYPE_OR_REPLY;
        }
        TRACE_AT(kTrace, TRACE_ERRO, "ParseLoginResult() failed!");
        if (m_Policy.TracesExchangedTexts()) TRACE_AT(kTrace, TRACE_ERRO, body);
        return false;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoLoginServer() exception!");
        return false;
    }
}
