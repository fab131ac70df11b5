// The WinINet face, in WinINet's asynchronous mode: a call that waits on the network completes
// through the status callback, and the caller waits on an event that a stop request sets too.
// (Closing the handles from another thread, which ends a blocked synchronous call on Windows,
// does not end one under Wine.) WinINet follows no redirect here: the shared client decides.
#include "platform/https.h"
#include "platform/https_hop.h"
#include "platform/https_policy.h"

// Our copies of WinINet's numbers, taken before <wininet.h> makes their names macros, so that
// they can be checked against the real ones.
namespace {
constexpr uint32_t kOurNumbers[] = {
    inet::INTERNET_OPEN_TYPE_PRECONFIG,
    inet::INTERNET_OPEN_TYPE_DIRECT,
    inet::INTERNET_OPEN_TYPE_PROXY,
    inet::INTERNET_FLAG_SECURE,
    inet::INTERNET_OPTION_SECURITY_FLAGS,
    inet::INTERNET_OPTION_PROXY_USERNAME,
    inet::INTERNET_OPTION_PROXY_PASSWORD,
    inet::SECURITY_FLAG_IGNORE_REVOCATION,
    inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA,
    inet::SECURITY_FLAG_IGNORE_WRONG_USAGE,
    inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
    inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
    inet::HTTP_QUERY_FLAG_NUMBER,
    inet::HTTP_QUERY_CONTENT_LENGTH,
    inet::HTTP_QUERY_STATUS_CODE,
    inet::ERROR_INTERNET_OPERATION_CANCELLED,
    inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
    inet::ERROR_INTERNET_CANNOT_CONNECT,
    inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID,
    inet::ERROR_INTERNET_SEC_CERT_CN_INVALID,
    inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
    inet::ERROR_INTERNET_INVALID_CA,
    inet::ERROR_HTTP_HEADER_NOT_FOUND,
    inet::ERROR_HTTP_INVALID_SERVER_RESPONSE,
    inet::ERROR_INTERNET_SEC_INVALID_CERT,
    inet::ERROR_INTERNET_TIMEOUT,
    inet::ERROR_HTTP_REDIRECT_FAILED,
};
constexpr uint32_t kCancelled = inet::ERROR_INTERNET_OPERATION_CANCELLED;
constexpr uint32_t kOverBound = inet::ERROR_HTTP_INVALID_SERVER_RESPONSE;
}  // namespace

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kTheirNumbers[] = {
    INTERNET_OPEN_TYPE_PRECONFIG,
    INTERNET_OPEN_TYPE_DIRECT,
    INTERNET_OPEN_TYPE_PROXY,
    INTERNET_FLAG_SECURE,
    INTERNET_OPTION_SECURITY_FLAGS,
    INTERNET_OPTION_PROXY_USERNAME,
    INTERNET_OPTION_PROXY_PASSWORD,
    SECURITY_FLAG_IGNORE_REVOCATION,
    SECURITY_FLAG_IGNORE_UNKNOWN_CA,
    SECURITY_FLAG_IGNORE_WRONG_USAGE,
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
    HTTP_QUERY_FLAG_NUMBER,
    HTTP_QUERY_CONTENT_LENGTH,
    HTTP_QUERY_STATUS_CODE,
    ERROR_INTERNET_OPERATION_CANCELLED,
    ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
    ERROR_INTERNET_CANNOT_CONNECT,
    ERROR_INTERNET_SEC_CERT_DATE_INVALID,
    ERROR_INTERNET_SEC_CERT_CN_INVALID,
    ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
    ERROR_INTERNET_INVALID_CA,
    ERROR_HTTP_HEADER_NOT_FOUND,
    ERROR_HTTP_INVALID_SERVER_RESPONSE,
    ERROR_INTERNET_SEC_INVALID_CERT,
    ERROR_INTERNET_TIMEOUT,
    ERROR_HTTP_REDIRECT_FAILED,
};

constexpr bool SameNumbers() {
    static_assert(sizeof kOurNumbers / sizeof kOurNumbers[0] ==
                  sizeof kTheirNumbers / sizeof kTheirNumbers[0]);
    for (size_t i = 0; i < sizeof kOurNumbers / sizeof kOurNumbers[0]; ++i) {
        if (kOurNumbers[i] != kTheirNumbers[i]) return false;
    }
    return true;
}
static_assert(SameNumbers(), "platform/https.h disagrees with <wininet.h>");

// Redirects are the shared client's; no cookie is kept.
constexpr DWORD kHopFlags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES;
// The most one asynchronous read asks WinINet for.
constexpr DWORD kReadChunk = 16 * 1024;
// How long a refused request may take to close before the pool is emptied anyway.
constexpr DWORD kClosingWaitMs = 2000;
// The security flags that waive a certificate check.
constexpr DWORD kWaivingFlags = SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                SECURITY_FLAG_IGNORE_WRONG_USAGE |
                                SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// What the status callback shares with the thread that waits on a call. WinINet keeps the
// pointers of a pending call (the body of a send, the buffer and count of a read) until the call
// completes; so when a stop leaves a call pending, this is abandoned, never freed.
struct Completion {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto-reset
    DWORD_PTR result = 0;
    DWORD error = 0;
    std::vector<char> body;
    std::string headers;          // a checked send's
    INTERNET_BUFFERSA buffers{};  // a checked send's head
    DWORD written = 0;            // a checked send's body
    HINTERNET closing = nullptr;  // a refused request, until WinINet has let it go
    std::vector<char> chunk;      // made by the first read: a send given up on leaves less behind
    DWORD chunkRead = 0;
};

// The completions that callbacks may still reach; a callback for any other is ignored.
std::mutex& LiveMutex() {
    static std::mutex mutex;
    return mutex;
}
std::set<Completion*>& Live() {
    static std::set<Completion*> live;
    return live;
}

void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
    const bool bClosing = status == INTERNET_STATUS_HANDLE_CLOSING;
    if (!bClosing && (status != INTERNET_STATUS_REQUEST_COMPLETE || !info)) return;
    std::lock_guard<std::mutex> lock(LiveMutex());
    auto* completion = reinterpret_cast<Completion*>(context);
    if (Live().count(completion) == 0) return;
    if (bClosing) {
        if (completion->closing && completion->closing == handle) SetEvent(completion->event);
        return;
    }
    const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    completion->result = result->dwResult;
    completion->error = result->dwError;
    SetEvent(completion->event);
}

// This module stays loaded for the rest of the process: WinINet may still call OnStatus for a
// call that a stop abandoned.
void PinThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&OnStatus), &module);
}

bool IsCertificateFailure(DWORD error) {
    switch (error) {
        case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case ERROR_INTERNET_INVALID_CA:
        case ERROR_INTERNET_SEC_INVALID_CERT:
        case inet::ERROR_INTERNET_SEC_CERT_WRONG_USAGE:
            return true;
        default:
            return false;
    }
}

// Where a hop goes, as far as WinINet's pool tells connections apart.
std::string ServerKey(const HttpHop& hop) {
    const HttpRoute& route = *hop.pRoute;
    return UrlOf(ParsedUrl{hop.target.serviceType, hop.target.strServer, "/", hop.target.port}) +
           '\n' + std::to_string(route.accessType) + ' ' + route.strProxy;
}

}  // namespace

// WinINet keeps the connections itself, for the process. What is kept here is, for each server,
// the certificate error a checked request met there, or that a request waived the checks: the
// next checked request to it is answered with that error at once, rather than make a handshake
// only to fail it again or be handed the connection that the waived request left in WinINet's
// pool; its resend, waiving the checks, finds that connection.
class HttpConnections {
public:
    ~HttpConnections() {
        // WinINet's idle connections go with the login object that made them.
        if (m_bUsed) InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    }
    DWORD FailureOf(const std::string& key) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bUsed = true;
        auto it = m_failures.find(key);
        if (it == m_failures.end()) return 0;
        // As long as WinINet would keep the connection it concerns.
        if (GetTickCount64() - it->second.notedAt > kNoteLifeMs) {
            m_failures.erase(it);
            return 0;
        }
        return it->second.error;
    }
    void NoteFailure(const std::string& key, DWORD error) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const ULONGLONG now = GetTickCount64();
        auto it = m_failures.find(key);
        if (it == m_failures.end() || now - it->second.notedAt > kNoteLifeMs) {
            m_failures.insert_or_assign(key, Note{error, now});
        }
    }

private:
    static constexpr ULONGLONG kNoteLifeMs = 30000;
    struct Note {
        DWORD error;
        ULONGLONG notedAt;
    };
    std::mutex m_mutex;
    std::map<std::string, Note> m_failures;
    bool m_bUsed = false;
};

std::shared_ptr<HttpConnections> CreateHttpConnections() {
    return std::make_shared<HttpConnections>();
}

namespace {

// The length a Content-Length text gives, saturated at UINT64_MAX; nothing without digits.
std::optional<uint64_t> LengthOf(const std::string& text) {
    uint64_t value = 0;
    size_t digits = 0;
    size_t i = text.find_first_not_of(" \t");
    for (; i != std::string::npos && i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

class WinInetFace final : public IHttpFace {
public:
    WinInetFace(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel),
          m_bRetriesCertificateErrors(options.bRetriesCertificateErrors),
          m_pConnections(options.connections ? options.connections : CreateHttpConnections()),
          m_timeouts(options.timeouts),
          m_pCompletion(new Completion) {
        {
            std::lock_guard<std::mutex> lock(LiveMutex());
            Live().insert(m_pCompletion);
        }
        // Runs on the cancelling thread: it only wakes the waiting one, which closes what it
        // opened itself.
        m_subscription =
            cancel.Subscribe([completion = m_pCompletion] { SetEvent(completion->event); });
    }

    ~WinInetFace() override {
        m_subscription = HttpCancel::Subscription();
        if (!m_bAbandoned) {
            Forget();
            CloseAll();
            ::CloseHandle(m_pCompletion->event);
            delete m_pCompletion;
        }
    }

    HttpHopResult Send(const HttpHop& hop) override {
        HttpHopResult result;
        m_deadline = GetTickCount64() + hop.remainingMs;
        const bool bChecked = (hop.securityFlags & kWaivingFlags) != kWaivingFlags;
        const std::string key = ServerKey(hop);
        if (const DWORD failure = bChecked ? m_pConnections->FailureOf(key) : 0) {
            Fail(failure, "this server's certificate failed its check before");
            result.error = m_lastError;
            result.strDetail = Detail();
            return result;
        }
        if (!SendHop(hop, bChecked, result.status)) {
            if (bChecked && m_bRetriesCertificateErrors && IsCertificateFailure(m_nativeError)) {
                m_pConnections->NoteFailure(key, m_nativeError);
            }
            result.error = m_lastError;
            result.strDetail = Detail();
            return result;
        }
        // WinINet now keeps a connection whose checks were waived; a checked request to the
        // server is refused it as an unknown issuer, as SendChecked would.
        if (!bChecked) m_pConnections->NoteFailure(key, ERROR_INTERNET_INVALID_CA);
        if (!ReadHead(*hop.pRoute, hop.target, result) || !ReadBody(result)) {
            result.error = m_lastError;
            result.strDetail = Detail();
        }
        return result;
    }

private:
    // The internet handle of `route`, opened when the last hop took another.
    bool OpenSession(const HttpRoute& route) {
        if (m_internet && route.accessType == m_route.accessType &&
            route.strProxy == m_route.strProxy && route.strAgent == m_route.strAgent) {
            return true;
        }
        CloseAll();
        const bool bProxy = route.accessType == INTERNET_OPEN_TYPE_PROXY;
        m_internet =
            InternetOpenA(route.strAgent.c_str(), route.accessType,
                          bProxy ? route.strProxy.c_str() : nullptr, nullptr, INTERNET_FLAG_ASYNC);
        if (!m_internet) return Fail(GetLastError(), "InternetOpen");
        m_route = route;
        // Set even where they equal WinINet's defaults: the system's settings may differ, and
        // both faces are to agree by construction. The handles opened from this one inherit them.
        for (const auto& option :
             {std::pair<DWORD, uint32_t>{INTERNET_OPTION_CONNECT_TIMEOUT, m_timeouts.connectMs},
              {INTERNET_OPTION_SEND_TIMEOUT, m_timeouts.sendMs},
              {INTERNET_OPTION_RECEIVE_TIMEOUT, m_timeouts.receiveMs}}) {
            DWORD value = option.second;
            if (!InternetSetOptionA(m_internet, option.first, &value, sizeof value)) {
                return Fail(GetLastError(), "time-out not set");
            }
        }
        InternetSetStatusCallbackA(m_internet, OnStatus);
        return true;
    }

    // The request of the hop: the last one again when the hop repeats it (a resend after its
    // options changed, such as the certificate checks), else a new one. After the proxy refused
    // the tunnel there is no last one (DropConnection): the resend with the credentials asks for
    // a new tunnel, and WinINet answers the proxy's challenge on it.
    bool OpenRequest(const HttpHop& hop) {
        const bool bSecure = hop.target.serviceType == inet::AFX_INET_SERVICE_HTTPS;
        if (m_request && hop.strVerb == m_strVerb && UrlOf(hop.target) == m_strUrl) return true;
        CloseRequest();
        m_connection = InternetConnectA(m_internet, hop.target.strServer.c_str(), hop.target.port,
                                        nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, Context());
        if (!m_connection) return Fail(GetLastError(), "InternetConnect");
        m_request = HttpOpenRequestA(m_connection, hop.strVerb.c_str(),
                                     hop.target.strObject.c_str(), nullptr, nullptr, nullptr,
                                     (bSecure ? INTERNET_FLAG_SECURE : 0) | kHopFlags, Context());
        if (!m_request) return Fail(GetLastError(), "HttpOpenRequest");
        m_strVerb = hop.strVerb;
        m_strUrl = UrlOf(hop.target);
        return true;
    }

    bool SetOptions(const HttpHop& hop) {
        DWORD flags = hop.securityFlags;
        if (flags != 0 &&
            !InternetSetOptionA(m_request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) {
            return Fail(GetLastError(), "security flags not set");
        }
        const HttpRoute& route = *hop.pRoute;
        for (const auto& option : {std::pair<DWORD, const std::optional<std::string>*>{
                                       INTERNET_OPTION_PROXY_USERNAME, &route.proxyUser},
                                   {INTERNET_OPTION_PROXY_PASSWORD, &route.proxyPassword}}) {
            const std::optional<std::string>& value = *option.second;
            if (value &&
                !InternetSetOptionA(m_request, option.first, const_cast<char*>(value->c_str()),
                                    static_cast<DWORD>(value->size()))) {
                return Fail(GetLastError(), "proxy credentials not set");
            }
        }
        return true;
    }

    bool SendHop(const HttpHop& hop, bool bChecked, uint32_t& status) {
        if (m_bAbandoned) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "abandoned");
        if (!Usable() || !OpenSession(*hop.pRoute) || !OpenRequest(hop) || !SetOptions(hop)) {
            return false;
        }
        std::vector<char>& body = m_pCompletion->body;
        if (hop.pBody) {
            body.assign(hop.pBody->begin(), hop.pBody->end());
        } else {
            body.clear();
        }
        // In strict mode a checked request sends its head alone first: WinINet may hand it a
        // connection whose checks a request of another login object waived. (The default mode
        // keeps the plain send: under Wine a head sent alone through a proxy's tunnel, after
        // its 407, went on without the certificate check.)
        const bool bSent = bChecked && !m_bRetriesCertificateErrors
                               ? SendChecked(*hop.pHeaders, hop.securityFlags)
                               : SendPlain(*hop.pHeaders);
        if (!bSent) return false;
        // WinINet takes a connection closed before any status line for an empty reply; status 0
        // tells the shared client there was none.
        DWORD number = 0;
        DWORD size = sizeof number;
        status = HttpQueryInfoA(m_request, HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_STATUS_CODE, &number,
                                &size, nullptr)
                     ? number
                     : 0;
        return true;
    }

    std::optional<std::string> Header(DWORD level) {
        std::string text(INTERNET_MAX_URL_LENGTH, '\0');
        DWORD size = static_cast<DWORD>(text.size());
        if (!HttpQueryInfoA(m_request, level, text.data(), &size, nullptr)) return std::nullopt;
        text.resize(size);
        return text;
    }

    bool ReadHead(const HttpRoute& route, const ParsedUrl& target, HttpHopResult& result) {
        if (result.status == 0) return true;
        if (IsRedirectStatus(result.status)) {
            result.strLocation = Header(HTTP_QUERY_LOCATION).value_or("");
        }
        if (std::optional<std::string> length = Header(HTTP_QUERY_CONTENT_LENGTH)) {
            result.claimedLength = LengthOf(*length);
        }
        // Through a proxy, WinINet hands back the proxy's refusal of the tunnel as the reply: an
        // answer that came over no secure channel is the proxy's, not the server's.
        if (route.accessType == INTERNET_OPEN_TYPE_PROXY &&
            target.serviceType == inet::AFX_INET_SERVICE_HTTPS &&
            (result.status < 200 || result.status >= 300)) {
            DWORD flags = 0;
            DWORD size = sizeof flags;
            if (!InternetQueryOptionA(m_request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size) ||
                (flags & SECURITY_FLAG_SECURE) == 0) {
                // The connection holds no tunnel: WinINet (Wine's, when the proxy keeps it
                // open after its 407) would send the resend over it as it is, in clear to the
                // proxy. The resend opens a new one and asks for the tunnel again.
                result.proxyConnectStatus = result.status;
                DropConnection();
            }
        }
        return true;
    }

    // Reads the reply to its end, keeping at most kMaxHttpReplyBytes; what breaks it after the
    // head is the body's error.
    bool ReadBody(HttpHopResult& result) {
        // The proxy's page is no reply of the server.
        if (result.status == 0 || result.proxyConnectStatus != 0) return true;
        if (RefusesClaim(result.status, result.claimedLength)) {
            result.bodyError = kOverBound;
            result.strBodyDetail = "reply claims " + std::to_string(*result.claimedLength) +
                                   " bytes, over " + std::to_string(kMaxHttpReplyBytes);
            return true;
        }
        std::string& body = result.body;
        while (true) {
            if (RemainingMs() == 0) {
                Fail(ERROR_INTERNET_TIMEOUT,
                     "reply not read within " + std::to_string(m_timeouts.TotalMs()) + " ms");
                break;
            }
            // One byte past the bound is asked for, to tell a reply that ends there from a longer
            // one.
            const DWORD want = static_cast<DWORD>(
                std::min<size_t>(kReadChunk, kMaxHttpReplyBytes + 1 - body.size()));
            if (m_pCompletion->chunk.empty()) m_pCompletion->chunk.resize(kReadChunk);
            m_pCompletion->chunkRead = 0;
            ResetEvent(m_pCompletion->event);
            if (!Complete(InternetReadFile(m_request, m_pCompletion->chunk.data(), want,
                                           &m_pCompletion->chunkRead))) {
                break;
            }
            const DWORD got = std::min(m_pCompletion->chunkRead, want);
            if (got == 0) {
                // WinINet reads a connection that broke as the reply's end; a reply shorter than
                // its length is a broken one, as libcurl reports it.
                if (result.claimedLength && body.size() < *result.claimedLength) {
                    Fail(ERROR_INTERNET_CONNECTION_ABORTED,
                         "reply ended after " + std::to_string(body.size()) + " of " +
                             std::to_string(*result.claimedLength) + " bytes");
                    break;
                }
                return true;
            }
            if (body.size() + got > kMaxHttpReplyBytes) {
                body.append(m_pCompletion->chunk.data(), kMaxHttpReplyBytes - body.size());
                Fail(kOverBound, "reply over " + std::to_string(kMaxHttpReplyBytes) + " bytes");
                break;
            }
            body.append(m_pCompletion->chunk.data(), got);
        }
        if (m_cancel.IsCancelled()) return false;
        result.bodyError = m_lastError;
        result.strBodyDetail = Detail();
        return true;
    }

    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(m_pCompletion); }

    bool Fail(DWORD error, std::string detail = {}) {
        m_nativeError = error;
        m_lastError = m_cancel.IsCancelled() ? kCancelled : error;
        m_strDetail = std::move(detail);
        return false;
    }

    std::string Detail() const {
        return "WinINet error " + std::to_string(m_nativeError) +
               (m_strDetail.empty() ? "" : " (" + m_strDetail + ")");
    }

    bool Usable() {
        if (m_cancel.IsCancelled()) return Fail(kCancelled);
        return true;
    }

    void CloseRequest() {
        if (m_request) InternetCloseHandle(m_request);
        if (m_connection) InternetCloseHandle(m_connection);
        m_request = m_connection = nullptr;
    }

    // Children first, so that no handle outlives the one it came from.
    void CloseAll() {
        CloseRequest();
        if (m_internet) InternetCloseHandle(m_internet);
        m_internet = nullptr;
    }

    // No callback reaches the completion after this returns.
    void Forget() {
        std::lock_guard<std::mutex> lock(LiveMutex());
        Live().erase(m_pCompletion);
    }

    // A stop came while a call was pending: WinINet may still use the completion's buffers, so
    // they are left to it, and the handles closed without their callback.
    void Abandon() {
        for (HINTERNET handle : {m_internet, m_connection, m_request}) {
            if (handle) InternetSetStatusCallbackA(handle, nullptr);
        }
        Forget();
        PinThisModule();
        m_bAbandoned = true;
        CloseAll();
    }

    // After a call returned `bOk`: waits for its completion when it is pending. False, with the
    // error set, when it failed or a stop came first.
    bool Complete(BOOL bOk) {
        if (bOk) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return Fail(error);
        // A stop before this check is seen here; one after it sets the event waited on. The
        // socket time-outs end a stalled call; the deadline ends one that trickles along.
        bool bLate = false;
        if (!m_cancel.IsCancelled()) {
            bLate = WaitForSingleObject(m_pCompletion->event, RemainingMs()) == WAIT_TIMEOUT;
        }
        if (m_cancel.IsCancelled()) {
            Abandon();
            return Fail(kCancelled);
        }
        if (bLate) {
            Abandon();
            return Fail(ERROR_INTERNET_TIMEOUT,
                        "no end within " + std::to_string(m_timeouts.TotalMs()) + " ms");
        }
        if (m_pCompletion->result == 0) return Fail(m_pCompletion->error);
        return true;
    }

    bool SendPlain(const std::string& headers) {
        std::vector<char>& body = m_pCompletion->body;
        ResetEvent(m_pCompletion->event);
        return Complete(HttpSendRequestA(m_request, headers.empty() ? nullptr : headers.c_str(),
                                         static_cast<DWORD>(headers.size()),
                                         body.empty() ? nullptr : body.data(),
                                         static_cast<DWORD>(body.size())));
    }

    // WinINet keeps connections for the whole process and may give a request one that another
    // request opened with certificate checks waived; which one it took is known only once the
    // head is sent. So the head goes first, and the body only over a connection that checked
    // what this request asked for; any other is refused as an unknown issuer, and closed with
    // the request so that nothing more goes over it.
    bool SendChecked(const std::string& headers, uint32_t securityFlags) {
        Completion& c = *m_pCompletion;
        c.headers = headers;
        c.buffers = INTERNET_BUFFERSA{};
        c.buffers.dwStructSize = sizeof c.buffers;
        c.buffers.lpcszHeader = c.headers.empty() ? nullptr : c.headers.c_str();
        c.buffers.dwHeadersLength = static_cast<DWORD>(c.headers.size());
        c.buffers.dwBufferTotal = static_cast<DWORD>(c.body.size());
        ResetEvent(c.event);
        if (!Complete(HttpSendRequestExA(m_request, &c.buffers, nullptr, 0, Context()))) {
            return false;
        }

        DWORD flags = 0;
        DWORD size = sizeof flags;
        if (!InternetQueryOptionA(m_request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
            return Fail(GetLastError());
        }
        const DWORD waived = flags & kWaivingFlags & ~securityFlags;
        if (waived != 0) {
            // Wine puts even a connection left in mid-request back in its pool, where the next
            // request would be taken for this one's body.
            DropConnection();
            char detail[96];
            std::snprintf(detail, sizeof detail,
                          "kept connection has certificate checks waived (security flags 0x%lx)",
                          static_cast<unsigned long>(flags));
            return Fail(ERROR_INTERNET_INVALID_CA, detail);
        }

        for (DWORD sent = 0; sent < c.buffers.dwBufferTotal;) {
            c.written = 0;
            ResetEvent(c.event);
            if (!Complete(InternetWriteFile(m_request, c.body.data() + sent,
                                            c.buffers.dwBufferTotal - sent, &c.written))) {
                return false;
            }
            if (c.written == 0) return Fail(ERROR_INTERNET_CONNECTION_ABORTED, "body not taken");
            sent += c.written;
        }
        ResetEvent(c.event);
        return Complete(HttpEndRequestA(m_request, nullptr, 0, Context()));
    }

    // Closes the request and empties WinINet's pool (a change of settings does), so that no
    // later request goes over the connection it had. The request lets its connection go only
    // as it closes, which may come later.
    void DropConnection() {
        Completion& c = *m_pCompletion;
        SetClosing(m_request);
        ResetEvent(c.event);
        InternetCloseHandle(m_request);
        m_request = nullptr;
        if (!m_cancel.IsCancelled()) WaitForSingleObject(c.event, kClosingWaitMs);
        SetClosing(nullptr);
        CloseRequest();
        InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    }

    // The status callback reads it under the same lock.
    void SetClosing(HINTERNET request) {
        std::lock_guard<std::mutex> lock(LiveMutex());
        m_pCompletion->closing = request;
    }

    // How long the hop in progress may still wait: until the deadline of its send.
    DWORD RemainingMs() const {
        const ULONGLONG now = GetTickCount64();
        return now >= m_deadline ? 0 : static_cast<DWORD>(m_deadline - now);
    }

    HttpCancel& m_cancel;
    const bool m_bRetriesCertificateErrors;
    const std::shared_ptr<HttpConnections> m_pConnections;
    const HttpTimeouts m_timeouts;
    ULONGLONG m_deadline = 0;
    Completion* m_pCompletion;  // abandoned, not freed, after a stop left a call pending
    bool m_bAbandoned = false;
    HINTERNET m_internet = nullptr;
    HttpRoute m_route;  // the one m_internet was opened for
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
    std::string m_strVerb;  // m_request's verb and address
    std::string m_strUrl;
    uint32_t m_lastError = 0;
    uint32_t m_nativeError = 0;
    std::string m_strDetail;
    HttpCancel::Subscription m_subscription;
};

}  // namespace

std::unique_ptr<IHttpFace> CreateHttpFace(HttpCancel& cancel, const HttpClientOptions& options) {
    return std::make_unique<WinInetFace>(cancel, options);
}
