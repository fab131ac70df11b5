// The login sequence: identity, SIM type, key file, registration when needed, login; and its two
// requests to the account server, registration and login.
#include <fstream>

#include "AccountRequests.h"
#include "LoginImpl.h"
#include "LoginSequence.h"
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

void RunLoginSequence(LoginSteps& steps, int32_t codeBefore, const SecurityPolicy& policy,
                      SequenceEnd& end) {
    // The code as it stands: the last one a step reported, else the one the sequence found.
    const auto standing = [&] { return end.code ? *end.code : codeBefore; };
    const auto report = [&](const std::optional<int32_t>& code) {
        if (code) end.code = code;
    };

    const StepOutcome identity = steps.Identity();
    report(identity.code);
    if (identity.text.empty()) {
        TRACE_AT(kTrace, TRACE_WARN, "m_strIMSI equal !");
        end.code = LOGIN_STATE_IDENTITY_OR_SCHEME;
        return;
    }
    const StepOutcome simType = steps.SimType();
    report(simType.code);
    if (simType.text.empty()) {
        TRACE_AT(kTrace, TRACE_WARN, "strSimTypeID equal !");
        end.code = LOGIN_STATE_SIM_TYPE_OR_REPLY;
        return;
    }
    const std::string keyFile = steps.KeyFile();
    if (keyFile.empty()) {
        TRACE_AT(kTrace, TRACE_WARN, "strKeyFile equal !");
        end.code = LOGIN_STATE_KEY_PATH_OR_URL;
        return;
    }

    std::string password = steps.StoredPassword(keyFile);
    // Registers the SIM and takes the password the server hands out; false when none came.
    const auto registerSim = [&]() {
        const std::string registerUrl = steps.RegisterUrl();
        if (registerUrl.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strRegURL equal !");
            return false;
        }
        const StepOutcome registered = steps.Register(registerUrl, simType.text);
        report(registered.code);
        password = registered.text;
        if (password.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "m_strPwd equal !");
            return false;
        }
        return true;
    };
    if (password.empty() && !registerSim()) return;

    const std::string loginUrl = steps.LoginUrl();
    if (loginUrl.empty()) {
        TRACE_AT(kTrace, TRACE_WARN, "strLoginURL equal !");
        return;
    }
    const StepOutcome login = steps.Login(loginUrl, password, simType.text);
    report(login.code);
    bool bLoggedIn = login.bOk;
    if (!bLoggedIn && (standing() == LOGIN_SERVER_WRONG_PASSWORD ||
                       standing() == LOGIN_SERVER_UNKNOWN_IDENTITY)) {
        // The server does not know the password: register again and log in once more.
        end.bRegisteredAgain = true;
        if (!registerSim()) return;
        const StepOutcome again = steps.Login(loginUrl, password, simType.text);
        report(again.code);
        if (!again.bOk) {
            TRACE_AT(kTrace, TRACE_ERRO, "DoLoginServer failed!");
            return;
        }
        bLoggedIn = true;
    }
    // A refusal that left no code counts as success, unless the policy wants a session.
    if (!bLoggedIn && (standing() != LOGIN_STATE_OK || !policy.CountsLoginWithoutSession())) {
        TRACE_AT(kTrace, TRACE_ERRO, "DoLoginServer failed!");
        return;
    }
    end.bLoggedIn = true;
}

// The steps as the login object carries them out, on the worker thread.
class LoginObjectSteps : public LoginSteps {
public:
    explicit LoginObjectSteps(CLoginImpl& login) : m_login(login) {}

    StepOutcome Identity() override {
        // The identity source keeps what it finds in its cache, in the order of the card's
        // reads; an empty cache seen again afterwards is an event's read in progress, not a
        // missing identity.
        StepOutcome identity;
        identity.text = m_login.m_Identity.Cached();
        if (identity.text.empty()) identity = m_login.m_Identity.Get();
        return identity;
    }
    StepOutcome SimType() override {
        StepOutcome simType;
        simType.text = m_login.ReadSimCardInfo(simType.code).name;
        return simType;
    }
    std::string KeyFile() override { return m_login.GetKeyFile(); }
    std::string StoredPassword(const std::string& keyFile) override {
        std::string password = m_login.ReadPwd(keyFile);
        m_login.SetPassword(password);
        return password;
    }
    std::string RegisterUrl() override { return m_login.GetRegisterUrl(); }
    std::string LoginUrl() override { return m_login.GetLoginUrl(); }
    StepOutcome Register(const std::string& url, const std::string& simType) override {
        StepOutcome identity = m_login.m_Identity.Get();
        StepOutcome registered = m_login.DoRegister(url, identity.text, simType);
        identity.Report(registered.code);
        registered.code = identity.code;
        m_login.SetPassword(registered.text);
        return registered;
    }
    StepOutcome Login(const std::string& url, const std::string& password,
                      const std::string& simType) override {
        return m_login.DoLoginServer(url, password, simType);
    }

private:
    CLoginImpl& m_login;
};

void CLoginImpl::KeepStateCode(const std::optional<int32_t>& code) {
    if (code) m_iError = *code;
}

bool CLoginImpl::DoLoginThread() {
    TRACE_AT(kTrace, TRACE_INFO, "Enter DoLoginThread()!");
    if (m_bLogining) return false;
    SequenceEnd end;
    try {
        SequenceGuard sequence(m_LoginMutex, m_bLogining);

        if (!m_pPluginContainer) {
            TRACE_AT(kTrace, TRACE_WARN, "m_pPluginContainer is NULL!");
            return false;
        }
        ReadSecurityPolicy();
        LoginObjectSteps steps(*this);
        RunLoginSequence(steps, m_iError, m_Policy, end);
        KeepStateCode(end.code);
        if (!end.bLoggedIn) return false;

        SetLoginSuccess(true);
        TRACE_AT(kTrace, TRACE_INFO, "Leave DoLoginThread()!");
        return true;
    } catch (...) {
        KeepStateCode(end.code);
        TRACE_AT(kTrace, TRACE_CRIT, "DoLoginThread() exception!");
        return false;
    }
}

bool CLoginImpl::PostToServer(const std::string& url, const std::string& headers,
                              const std::string& body, const std::string& proxyAddress,
                              const std::string& proxyPort, bool bSecure, ServerReply& reply) {
    const StepOutcome posted =
        m_Exchange.Post(url, headers, body, proxyAddress, proxyPort, bSecure, reply);
    KeepStateCode(posted.code);
    return posted.bOk;
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

StepOutcome CLoginImpl::DoRegister(const std::string& registerUrl, const std::string& imsi,
                                   const std::string& simType) {
    StepOutcome registered;
    try {
        if (registerUrl.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strURL equal !");
            return registered;
        }
        if (imsi.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strIMSI equal !");
            return registered;
        }
        const std::string body = RegistrationBody(m_Policy, imsi, simType);
        ServerReply reply;
        const StepOutcome posted = m_Exchange.PostForm(registerUrl, body, reply);
        registered.Report(posted.code);
        if (!posted.bOk) return registered;
        std::optional<int32_t> code;
        std::string password =
            PasswordFromReply(reply.strText, m_Policy.TracesExchangedTexts(), code);
        registered.Report(code);
        if (password.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strPwd equal !");
            return registered;
        }
        registered.bOk = true;
        registered.text = password;
        const std::string keyFile = GetKeyFile();
        if (keyFile.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strKeyFile equal !");
            return registered;
        }
        if (!WritePwd(keyFile, password)) TRACE_AT(kTrace, TRACE_ERRO, "WritePwd() failed!");
        return registered;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoRegister() exception!");
        registered.bOk = false;
        registered.text.clear();
        return registered;
    }
}

StepOutcome CLoginImpl::DoLoginServer(const std::string& loginUrl, const std::string& password,
                                      const std::string& simType) {
    StepOutcome login;
    try {
        const StepOutcome identity = m_Identity.Get();
        login.Report(identity.code);
        if (identity.text.empty()) {
            TRACE_AT(kTrace, TRACE_WARN, "strIMSI equal !");
            return login;
        }
        const std::string body = LoginBody(m_Policy, identity.text, password, simType);
        ServerReply reply;
        const StepOutcome posted = m_Exchange.PostForm(loginUrl, body, reply);
        login.Report(posted.code);
        if (!posted.bOk) return login;
        std::optional<int32_t> code;
        LoginResult parsed;
        const bool bParsed =
            LoginResultFromReply(reply.strText, parsed, code, m_Policy.TracesExchangedTexts());
        login.Report(code);
        if (bParsed && (m_Policy.CountsLoginWithoutSession() ||
                        (!parsed.strEncodeKey.empty() && !parsed.strSessionId.empty()))) {
            {
                std::lock_guard<std::mutex> lock(m_ResultGuard);
                m_LoginResult = std::move(parsed);
            }
            login.bOk = true;
            login.code = LOGIN_STATE_OK;
            return login;
        }
        // The exchange reported 0, so only a refusal code of the reply stands here.
        if (!m_Policy.CountsLoginWithoutSession() && login.code == LOGIN_STATE_OK) {
            // No refusal code, yet no session either: the host is told the reply was not one.
            TRACE_AT(kTrace, TRACE_ERRO, "login reply carries no session!");
            login.code = LOGIN_STATE_SIM_TYPE_OR_REPLY;
        }
        TRACE_AT(kTrace, TRACE_ERRO, "ParseLoginResult() failed!");
        if (m_Policy.TracesExchangedTexts()) TRACE_AT(kTrace, TRACE_ERRO, body);
        return login;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoLoginServer() exception!");
        login.bOk = false;
        return login;
    }
}
