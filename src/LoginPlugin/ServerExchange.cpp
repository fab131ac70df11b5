// The form posts to the account server: one synchronous HTTPS POST (PostToServer) with proxy
// support, certificate tolerance and proxy authentication, and the registration and login
// requests built on it. Written once over the WinINet-shaped client of platform/https.h.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "LoginImpl.h"
#include "ProxyInfoImpl.h"
#include "libs/trace/Trace.h"
#include "global/VelkoException.h"
#include "platform/url.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

const char* const kAgent = "Velko Agent";
const char* const kHeaders =
    "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";

// The security flags of the retry after a certificate error: revocation, unknown issuer, wrong
// usage, name mismatch and date are all waived.
constexpr uint32_t kRelaxedSecurityFlags =
    inet::SECURITY_FLAG_IGNORE_REVOCATION | inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA |
    inet::SECURITY_FLAG_IGNORE_WRONG_USAGE | inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
    inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// What the layer underneath said about a failure, when it said anything.
void TraceDetail(const IHttpClient& client) {
    const std::string detail = client.LastErrorDetail();
    if (!detail.empty()) TRACE_AT(kTrace, TRACE_INFO, detail);
}

// The most one read asks for: a length that the reply only claims reserves no more than this
// until its bytes arrive.
constexpr uint32_t kReadStep = 64 * 1024;

// Reads `length` bytes, or up to the reply's end, into `buffer` in steps of at most kReadStep.
bool ReadReply(IHttpClient& client, const HttpHandle& request, uint32_t length,
               std::vector<char>& buffer) {
    size_t total = 0;
    while (total < length) {
        const uint32_t step = std::min<uint32_t>(kReadStep, length - static_cast<uint32_t>(total));
        buffer.resize(total + step);
        uint32_t read = 0;
        if (!client.Read(request, buffer.data() + total, step, read)) return false;
        total += std::min(read, step);
        if (read < step) break;  // the reply has ended
    }
    buffer.resize(total);
    return true;
}

bool IsCertificateError(uint32_t error) {
    switch (error) {
        case inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case inet::ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case inet::ERROR_INTERNET_INVALID_CA:
        case inet::ERROR_INTERNET_SEC_INVALID_CERT:
        case inet::ERROR_INTERNET_SEC_CERT_WRONG_USAGE:
            return true;
        default:
            return false;
    }
}
}  // namespace

std::unique_ptr<IHttpClient> CLoginImpl::MakeHttpClient() {
    if (m_fnMakeHttpClient) return m_fnMakeHttpClient(m_ExchangeCancel);
    return CreateHttpClient(m_ExchangeCancel, m_Policy.ClientOptions());
}

void CLoginImpl::CancelExchange() {
    m_ExchangeCancel.Cancel();
}

// A stop request ends the exchange before any further call reaches the network, whether or not
// the client itself refuses calls after a cancel.
void CLoginImpl::ThrowIfStopping() {
    if (!m_bStopThread && !m_ExchangeCancel.IsCancelled()) return;
    TRACE_AT(kTrace, TRACE_INFO, "PostToServer() stopped!");
    m_iError = static_cast<int32_t>(inet::ERROR_INTERNET_OPERATION_CANCELLED);
    throw CVelkoException();
}

void CLoginImpl::SendWithCertificateRetry(IHttpClient& client, const HttpHandle& request,
                                          const std::string& headers, const std::string& body,
                                          bool bProxyAuthenticated) {
    ThrowIfStopping();
    if (client.SendRequest(request, headers, body)) return;
    const uint32_t error = client.LastError();
    TraceDetail(client);
    if (!IsCertificateError(error)) {
        if (bProxyAuthenticated) {
            TRACE_AT(kTrace, TRACE_ERRO, "HttpSendRequest() return other error code!");
        } else {
            char message[80];
            std::snprintf(message, sizeof message, "HttpSendRequest() return other error code : %d",
                          static_cast<int>(error));
            TRACE_AT(kTrace, TRACE_ERRO, message);
        }
        m_iError = static_cast<int32_t>(error);
        throw CVelkoException();
    }
    if (!m_Policy.RetriesCertificateErrors()) {
        char message[80];
        std::snprintf(message, sizeof message, "HttpSendRequest() certificate refused : %d",
                      static_cast<int>(error));
        TRACE_AT(kTrace, TRACE_ERRO, message);
        m_iError = static_cast<int32_t>(error);
        throw CVelkoException();
    }
    if (!client.SetOption(request, inet::INTERNET_OPTION_SECURITY_FLAGS, kRelaxedSecurityFlags)) {
        TRACE_AT(kTrace, TRACE_ERRO, "InternetSetOption() failed!");
        m_iError = static_cast<int32_t>(client.LastError());
        throw CVelkoException();
    }
    ThrowIfStopping();
    if (!client.SendRequest(request, headers, body)) {
        TRACE_AT(kTrace, TRACE_ERRO, "HttpSendRequest() failed!");
        TraceDetail(client);
        m_iError = static_cast<int32_t>(client.LastError());
        throw CVelkoException();
    }
}

bool CLoginImpl::PostToServer(const std::string& url, const std::string& headers,
                              const std::string& body, const std::string& proxyAddress,
                              const std::string& proxyPort, bool bSecure, ServerReply& reply) {
    // Declared in this order so that an early way out closes the request, the connection and
    // the internet handle in that order, before the client that owns them goes.
    std::unique_ptr<IHttpClient> client;
    HttpHandle internet;
    HttpHandle connection;
    HttpHandle request;
    try {
        const std::optional<ParsedUrl> parts = ParseUrl(url);
        if (!parts) {
            TRACE_AT(kTrace, TRACE_ERRO, " AfxParseURL() failed!");
            m_iError = -1;
            throw CVelkoException();
        }
        if (bSecure && parts->serviceType != inet::AFX_INET_SERVICE_HTTPS) {
            TRACE_AT(kTrace, TRACE_ERRO, " AFX_INET_SERVICE_HTTPS != dwServiceType!");
            m_iError = -2;
            throw CVelkoException();
        }
        ThrowIfStopping();

        uint32_t accessType = inet::INTERNET_OPEN_TYPE_DIRECT;
        std::string proxy;
        if (!proxyAddress.empty() && !proxyPort.empty()) {
            accessType = inet::INTERNET_OPEN_TYPE_PROXY;
            proxy = proxyAddress + ":" + proxyPort;
        }

        client = MakeHttpClient();
        internet = client->Open(kAgent, accessType, proxy);
        if (!internet) {
            TRACE_AT(kTrace, TRACE_ERRO, "InternetOpen() failed!");
            m_iError = static_cast<int32_t>(client->LastError());
            throw CVelkoException();
        }
        connection = client->Connect(internet, parts->strServer, parts->port);
        if (!connection) {
            TRACE_AT(kTrace, TRACE_ERRO, "InternetConnect() failed!");
            m_iError = static_cast<int32_t>(client->LastError());
            throw CVelkoException();
        }
        request = client->OpenRequest(connection, "POST", parts->strObject,
                                      bSecure ? inet::INTERNET_FLAG_SECURE : 0);
        if (!request) {
            TRACE_AT(kTrace, TRACE_ERRO, "HttpOpenRequest() failed!");
            m_iError = static_cast<int32_t>(client->LastError());
            throw CVelkoException();
        }

        SendWithCertificateRetry(*client, request, headers, body, false);

        uint32_t status = 0;
        if (!client->QueryInfo(request, inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE,
                               status)) {
            TRACE_AT(kTrace, TRACE_ERRO, "HttpQueryInfo() failed!");
            m_iError = static_cast<int32_t>(client->LastError());
            throw CVelkoException();
        }

        if (status == inet::HTTP_STATUS_PROXY_AUTH_REQ) {
            std::string user;
            std::string password;
            if (!GetAccountInfo(user, password)) {
                TRACE_AT(kTrace, TRACE_ERRO, "GetAccountInfo() failed!");
                m_iError = 5;
                throw CVelkoException();
            }
            if (!client->SetOption(request, inet::INTERNET_OPTION_PROXY_USERNAME, user) ||
                !client->SetOption(request, inet::INTERNET_OPTION_PROXY_PASSWORD, password)) {
                TRACE_AT(kTrace, TRACE_ERRO, "GetAccountInfo() failed!");
                m_iError = 5;
                throw CVelkoException();
            }
            // The answer to this send is read whatever its status.
            SendWithCertificateRetry(*client, request, headers, body, true);
        }

        uint32_t length = 0;
        if (!client->QueryInfo(
                request, inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_CONTENT_LENGTH, length) ||
            length == 0) {
            length = m_dwReplyBufSize;
        }
        if (length > kMaxHttpReplyBytes) {
            // Refused unread, as a read past the bound would fail.
            TRACE_AT(kTrace, TRACE_ERRO, "InternetReadFile() failed!");
            TRACE_AT(kTrace, TRACE_INFO,
                     "reply of " + std::to_string(length) + " bytes is over " +
                         std::to_string(kMaxHttpReplyBytes));
            m_iError = static_cast<int32_t>(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE);
            throw CVelkoException();
        }
        std::vector<char> buffer;
        if (!ReadReply(*client, request, length, buffer)) {
            TRACE_AT(kTrace, TRACE_ERRO, "InternetReadFile() failed!");
            TraceDetail(*client);
            m_iError = static_cast<int32_t>(client->LastError());
            throw CVelkoException();
        }
        const size_t end = std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin();

        reply.nStatus = static_cast<int32_t>(status);
        reply.strText.assign(buffer.data(), end);

        request.Close();
        connection.Close();
        internet.Close();
        m_iError = 0;
        return true;
    } catch (const CVelkoException&) {
        TRACE_AT(kTrace, TRACE_CRIT, "PostToServer() throw CVELKOException!");
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "PostToServer() exception!");
    }
    request.Close();
    connection.Close();
    internet.Close();
    return false;
}

bool CLoginImpl::GetProxyInfo(std::string& address, std::string& port) {
    try {
        if (!m_pProxyInfo) {
            TRACE_AT(kTrace, TRACE_ERRO, "ProxyInfoImpl pointer is null!");
            return false;
        }
        if (m_pProxyInfo->GetProxyType() != PROXY_TYPE_NONE) {
            address = m_pProxyInfo->GetProxyAddress();
            port = m_pProxyInfo->GetProxyPort();
        } else {
            address.clear();
            port.clear();
        }
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetProxyInfo() exception!");
        return false;
    }
}

bool CLoginImpl::GetAccountInfo(std::string& user, std::string& password) {
    try {
        if (!m_pProxyInfo) {
            TRACE_AT(kTrace, TRACE_ERRO, "ProxyInfoImpl pointer is null!");
            return false;
        }
        user = m_pProxyInfo->GetProxyUser();
        password = m_pProxyInfo->GetProxyPassword();
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_INFO, "GetAccountInfo() exception!");
        return false;
    }
}

// Both requests: the proxy as the settings give it (none when unreachable), secure only.
bool CLoginImpl::PostForm(const std::string& url, const std::string& body, ServerReply& reply) {
    std::string proxyAddress;
    std::string proxyPort;
    if (!GetProxyInfo(proxyAddress, proxyPort)) {
        TRACE_AT(kTrace, TRACE_INFO, "don't have Proxy!");
        proxyAddress.clear();
        proxyPort.clear();
    }
    if (!PostToServer(url, kHeaders, body, proxyAddress, proxyPort, true, reply)) {
        TRACE_AT(kTrace, TRACE_ERRO, "PostToServer() failed!");
        return false;
    }
    return true;
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
        const std::string body = m_Policy.FormBody({{"cid", imsi}, {"ctype", simType}});
        ServerReply reply;
        if (!PostForm(registerUrl, body, reply)) return {};
        const std::string password = GetPwdFromResponse(reply.strText);
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
        const std::string body =
            m_Policy.FormBody({{"cid", imsi}, {"pass", password}, {"ctype", simType}});
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
            m_iError = 0;
            return true;
        }
        if (!m_Policy.CountsLoginWithoutSession() && m_iError == 0) {
            // No refusal code, yet no session either: the host is told the reply was not one.
            TRACE_AT(kTrace, TRACE_ERRO, "login reply carries no session!");
            m_iError = -3;
        }
        TRACE_AT(kTrace, TRACE_ERRO, "ParseLoginResult() failed!");
        if (m_Policy.TracesExchangedTexts()) TRACE_AT(kTrace, TRACE_ERRO, body);
        return false;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "DoLoginServer() exception!");
        return false;
    }
}
