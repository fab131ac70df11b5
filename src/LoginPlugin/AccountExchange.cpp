#include "AccountExchange.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "AccountRequests.h"
#include "LoginStates.h"
#include "global/VelkoException.h"
#include "libs/trace/Trace.h"
#include "platform/url.h"

namespace {
// The records keep the login object's site: users read them as its own.
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

const char* const kAgent = "Velko Agent";

// The security flags of the retry after a certificate error: revocation, unknown issuer, wrong
// usage, name mismatch and date are all waived.
constexpr uint32_t kRelaxedSecurityFlags =
    inet::SECURITY_FLAG_IGNORE_REVOCATION | inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA |
    inet::SECURITY_FLAG_IGNORE_WRONG_USAGE | inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
    inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// What the layer underneath said about a failure, when it said anything. That may quote the
// server (the address of a refused redirect): without `bFull` only the error's number goes.
void TraceDetail(const IHttpClient& client, bool bFull) {
    const std::string detail = client.LastErrorDetail();
    if (detail.empty()) return;
    TRACE_AT(kTrace, TRACE_INFO, bFull ? detail : "error " + std::to_string(client.LastError()));
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

// The handles of one exchange, declared in this order so that an early way out closes the
// request, the connection and the internet handle in that order, before the client that owns
// them goes.
struct AccountExchange::Handles {
    std::unique_ptr<IHttpClient> client;
    HttpHandle internet;
    HttpHandle connection;
    HttpHandle request;
    void Close() {
        request.Close();
        connection.Close();
        internet.Close();
    }
};

AccountExchange::AccountExchange(IPluginContainer* pContainer, const SecurityPolicy& policy,
                                 const std::atomic<bool>& stopping, HttpClientFactory factory)
    : m_policy(policy), m_bStopping(stopping), m_fnMakeClient(std::move(factory)) {
    try {
        m_pProxyInfo = std::make_unique<CProxyInfoImpl>(pContainer);
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "Proxy allocte exception!");
    }
}

std::unique_ptr<IHttpClient> AccountExchange::MakeClient() {
    if (m_fnMakeClient) return m_fnMakeClient(m_cancel);
    HttpClientOptions options = m_policy.ClientOptions();
    options.connections = m_pConnections;
    return CreateHttpClient(m_cancel, options);
}

// A stop request ends the exchange before any further call reaches the network, whether or not
// the client itself refuses calls after a cancel.
void AccountExchange::ThrowIfStopping() {
    if (!m_bStopping && !m_cancel.IsCancelled()) return;
    TRACE_AT(kTrace, TRACE_INFO, "PostToServer() stopped!");
    FailWith(static_cast<int32_t>(inet::ERROR_INTERNET_OPERATION_CANCELLED));
}

void AccountExchange::FailWith(int32_t code) {
    m_failure = code;
    throw CVelkoException();
}

void AccountExchange::Fail(const IHttpClient& client, const char* message) {
    TRACE_AT(kTrace, TRACE_ERRO, message);
    FailWith(static_cast<int32_t>(client.LastError()));
}

void AccountExchange::Open(Handles& h, const std::string& url, const std::string& proxyAddress,
                           const std::string& proxyPort, bool bSecure) {
    const std::optional<ParsedUrl> parts = ParseUrl(url);
    if (!parts) {
        TRACE_AT(kTrace, TRACE_ERRO, " AfxParseURL() failed!");
        FailWith(LOGIN_STATE_KEY_PATH_OR_URL);
    }
    if (bSecure && parts->serviceType != inet::AFX_INET_SERVICE_HTTPS) {
        TRACE_AT(kTrace, TRACE_ERRO, " AFX_INET_SERVICE_HTTPS != dwServiceType!");
        FailWith(LOGIN_STATE_IDENTITY_OR_SCHEME);
    }
    ThrowIfStopping();

    uint32_t accessType = inet::INTERNET_OPEN_TYPE_DIRECT;
    std::string proxy;
    if (!proxyAddress.empty() && !proxyPort.empty()) {
        accessType = inet::INTERNET_OPEN_TYPE_PROXY;
        proxy = proxyAddress + ":" + proxyPort;
    }

    h.client = MakeClient();
    h.internet = h.client->Open(kAgent, accessType, proxy);
    if (!h.internet) Fail(*h.client, "InternetOpen() failed!");
    h.connection = h.client->Connect(h.internet, parts->strServer, parts->port);
    if (!h.connection) Fail(*h.client, "InternetConnect() failed!");
    h.request = h.client->OpenRequest(h.connection, "POST", parts->strObject,
                                      bSecure ? inet::INTERNET_FLAG_SECURE : 0);
    if (!h.request) Fail(*h.client, "HttpOpenRequest() failed!");
}

void AccountExchange::SendWithCertificateRetry(Handles& h, const std::string& headers,
                                               const std::string& body, bool bProxyAuthenticated) {
    IHttpClient& client = *h.client;
    ThrowIfStopping();
    if (client.SendRequest(h.request, headers, body)) return;
    const uint32_t error = client.LastError();
    TraceDetail(client, m_policy.TracesExchangedTexts());
    if (error == inet::ERROR_INTERNET_INVALID_PROXY_REQUEST) {
        TRACE_AT(kTrace, TRACE_ERRO, "the proxy refused the tunnel!");
        FailWith(LOGIN_INET_PROXY_REFUSED);
    }
    if (!IsCertificateError(error)) {
        if (bProxyAuthenticated) {
            TRACE_AT(kTrace, TRACE_ERRO, "HttpSendRequest() return other error code!");
        } else {
            char message[80];
            std::snprintf(message, sizeof message, "HttpSendRequest() return other error code : %d",
                          static_cast<int>(error));
            TRACE_AT(kTrace, TRACE_ERRO, message);
        }
        FailWith(static_cast<int32_t>(error));
    }
    if (!m_policy.RetriesCertificateErrors()) {
        char message[80];
        std::snprintf(message, sizeof message, "HttpSendRequest() certificate refused : %d",
                      static_cast<int>(error));
        TRACE_AT(kTrace, TRACE_ERRO, message);
        FailWith(static_cast<int32_t>(error));
    }
    if (!client.SetOption(h.request, inet::INTERNET_OPTION_SECURITY_FLAGS, kRelaxedSecurityFlags))
        Fail(client, "InternetSetOption() failed!");
    ThrowIfStopping();
    if (!client.SendRequest(h.request, headers, body)) {
        TRACE_AT(kTrace, TRACE_ERRO, "HttpSendRequest() failed!");
        TraceDetail(client, m_policy.TracesExchangedTexts());
        FailWith(static_cast<int32_t>(client.LastError()));
    }
}

uint32_t AccountExchange::QueryStatus(Handles& h) {
    uint32_t status = 0;
    if (!h.client->QueryInfo(h.request, inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE,
                             status))
        Fail(*h.client, "HttpQueryInfo() failed!");
    return status;
}

void AccountExchange::AuthenticateToProxy(Handles& h, const std::string& headers,
                                          const std::string& body) {
    std::string user;
    std::string password;
    if (!ProxyAccount(user, password) ||
        !h.client->SetOption(h.request, inet::INTERNET_OPTION_PROXY_USERNAME, user) ||
        !h.client->SetOption(h.request, inet::INTERNET_OPTION_PROXY_PASSWORD, password)) {
        TRACE_AT(kTrace, TRACE_ERRO, "GetAccountInfo() failed!");
        FailWith(LOGIN_STATE_PROXY_CREDENTIALS);
    }
    SendWithCertificateRetry(h, headers, body, true);
    // The proxy asking again refused what was sent: its page is no reply of the server.
    if (QueryStatus(h) == inet::HTTP_STATUS_PROXY_AUTH_REQ) {
        TRACE_AT(kTrace, TRACE_ERRO, "the proxy refused the credentials!");
        FailWith(LOGIN_STATE_PROXY_CREDENTIALS);
    }
}

std::string AccountExchange::ReadText(Handles& h) {
    uint32_t length = 0;
    if (!h.client->QueryInfo(
            h.request, inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_CONTENT_LENGTH, length) ||
        length == 0) {
        length = m_nReplyBufSize;
    }
    if (OverReplyBound(length)) {
        // Refused unread, as a read past the bound would fail.
        TRACE_AT(kTrace, TRACE_ERRO, "InternetReadFile() failed!");
        TRACE_AT(kTrace, TRACE_INFO,
                 "error " + std::to_string(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE) +
                     " (reply of " + std::to_string(length) + " bytes is over " +
                     std::to_string(kMaxHttpReplyBytes) + ")");
        FailWith(static_cast<int32_t>(inet::ERROR_HTTP_INVALID_SERVER_RESPONSE));
    }
    std::vector<char> buffer;
    if (!ReadReply(*h.client, h.request, length, buffer)) {
        TRACE_AT(kTrace, TRACE_ERRO, "InternetReadFile() failed!");
        TraceDetail(*h.client, m_policy.TracesExchangedTexts());
        FailWith(static_cast<int32_t>(h.client->LastError()));
    }
    const size_t end = std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin();
    return std::string(buffer.data(), end);
}

StepOutcome AccountExchange::Post(const std::string& url, const std::string& headers,
                                  const std::string& body, const std::string& proxyAddress,
                                  const std::string& proxyPort, bool bSecure, ServerReply& reply) {
    Handles h;
    m_failure.reset();
    try {
        Open(h, url, proxyAddress, proxyPort, bSecure);
        SendWithCertificateRetry(h, headers, body, false);
        const uint32_t status = QueryStatus(h);
        if (status == inet::HTTP_STATUS_PROXY_AUTH_REQ) AuthenticateToProxy(h, headers, body);
        std::string text = ReadText(h);

        reply.nStatus = static_cast<int32_t>(status);
        reply.strText = std::move(text);
        h.Close();
        StepOutcome done;
        done.bOk = true;
        done.code = 0;
        return done;
    } catch (const CVelkoException&) {
        TRACE_AT(kTrace, TRACE_CRIT, "PostToServer() throw CVELKOException!");
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "PostToServer() exception!");
    }
    h.Close();
    StepOutcome failed;
    failed.code = m_failure;
    return failed;
}

bool AccountExchange::ProxyAddress(std::string& address, std::string& port) {
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

bool AccountExchange::ProxyAccount(std::string& user, std::string& password) {
    try {
        if (!m_pProxyInfo) {
            TRACE_AT(kTrace, TRACE_ERRO, "ProxyInfoImpl pointer is null!");
            return false;
        }
        user = m_pProxyInfo->GetProxyUser();
        password = m_pProxyInfo->GetProxyPassword();
        // No user: there is nothing to answer the proxy with.
        return !user.empty();
    } catch (...) {
        TRACE_AT(kTrace, TRACE_INFO, "GetAccountInfo() exception!");
        return false;
    }
}

StepOutcome AccountExchange::PostForm(const std::string& url, const std::string& body,
                                      ServerReply& reply) {
    std::string proxyAddress;
    std::string proxyPort;
    if (!ProxyAddress(proxyAddress, proxyPort)) {
        TRACE_AT(kTrace, TRACE_INFO, "don't have Proxy!");
        proxyAddress.clear();
        proxyPort.clear();
    }
    StepOutcome posted = Post(url, kAccountFormHeaders, body, proxyAddress, proxyPort, true, reply);
    if (!posted.bOk) TRACE_AT(kTrace, TRACE_ERRO, "PostToServer() failed!");
    return posted;
}
