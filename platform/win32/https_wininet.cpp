// The WinINet-shaped client over WinINet itself, in WinINet's asynchronous mode: a call that
// waits on the network completes through the status callback, and the caller waits on an event
// that a stop request sets too. (Closing the handles from another thread, which ends a blocked
// synchronous call on Windows, does not end one under Wine.) Redirects are followed here rather
// than by WinINet, so that one the policy refuses fails with 12040 before anything goes there.
#include "platform/https.h"
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
constexpr uint32_t kWrongHandle = inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE;
constexpr uint32_t kRedirectRefused = inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
constexpr uint32_t kOverBound = inet::ERROR_HTTP_INVALID_SERVER_RESPONSE;
}  // namespace

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
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

// Where a send goes: a request's own target, or a redirect's.
struct Target {
    bool bSecure = true;
    std::string strHost;
    INTERNET_PORT port = 0;
    std::string strObject;
};

// The target of a Location header, relative ones taken against `current`.
std::optional<Target> TargetOf(const std::string& location, const Target& current) {
    if (!location.empty() && location.front() == '/') {
        Target target = current;
        target.strObject = location;
        return target;
    }
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = "";
    char path[INTERNET_MAX_PATH_LENGTH] = "";
    char extra[INTERNET_MAX_PATH_LENGTH] = "";
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(location.c_str(), static_cast<DWORD>(location.size()), 0, &parts)) {
        return std::nullopt;
    }
    Target target;
    target.bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (!target.bSecure && parts.nScheme != INTERNET_SCHEME_HTTP) return std::nullopt;
    target.strHost = host;
    target.port = parts.nPort;
    target.strObject = std::string(path) + extra;
    if (target.strObject.empty()) target.strObject = "/";
    return target;
}

class WinInetHttpClient final : public IHttpClient {
public:
    WinInetHttpClient(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel),
          m_redirects(options.redirects),
          m_bOnlyCheckedConnections(options.bOnlyCheckedConnections),
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

    ~WinInetHttpClient() override {
        m_subscription = HttpCancel::Subscription();
        if (!m_bAbandoned) {
            Forget();
            CloseAll();
            ::CloseHandle(m_pCompletion->event);
            delete m_pCompletion;
        }
    }

    HttpHandle Open(const std::string& agent, uint32_t accessType,
                    const std::string& proxy) override {
        if (!Usable()) return {};
        bool bProxy = accessType == INTERNET_OPEN_TYPE_PROXY;
        HINTERNET internet =
            InternetOpenA(agent.c_str(), accessType, bProxy ? proxy.c_str() : nullptr, nullptr,
                          INTERNET_FLAG_ASYNC);
        if (!internet) return Failed();
        // Set even where they equal WinINet's defaults: the system's settings may differ, and
        // both clients are to agree by construction. The handles opened from this one inherit
        // them.
        for (const auto& option :
             {std::pair<DWORD, uint32_t>{INTERNET_OPTION_CONNECT_TIMEOUT, m_timeouts.connectMs},
              {INTERNET_OPTION_SEND_TIMEOUT, m_timeouts.sendMs},
              {INTERNET_OPTION_RECEIVE_TIMEOUT, m_timeouts.receiveMs}}) {
            DWORD value = option.second;
            if (!InternetSetOptionA(internet, option.first, &value, sizeof value)) {
                const DWORD error = GetLastError();
                InternetCloseHandle(internet);
                Fail(error, "time-out not set");
                return {};
            }
        }
        InternetSetStatusCallbackA(internet, OnStatus);
        Entry entry;
        entry.native = internet;
        return Add(std::move(entry));
    }

    HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                       uint16_t port) override {
        Entry* session = Find(internet);
        if (!session) return {};
        HINTERNET connection = InternetConnectA(session->native, server.c_str(), port, nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, Context());
        if (!connection) return Failed();
        Entry entry;
        entry.native = connection;
        entry.session = session->native;
        entry.target.strHost = server;
        entry.target.port = port;
        return Add(std::move(entry));
    }

    HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                           const std::string& object, uint32_t flags) override {
        Entry* owner = Find(connection);
        if (!owner) return {};
        HINTERNET request =
            HttpOpenRequestA(owner->native, verb.c_str(), object.c_str(), nullptr, nullptr, nullptr,
                             flags | INTERNET_FLAG_NO_AUTO_REDIRECT, Context());
        if (!request) return Failed();
        Entry entry;
        entry.native = request;
        entry.session = owner->session;
        entry.strVerb = verb;
        entry.flags = flags;
        entry.target = owner->target;
        entry.target.bSecure = (flags & INTERNET_FLAG_SECURE) != 0;
        entry.target.strObject = object;
        return Add(std::move(entry));
    }

    bool SendRequest(const HttpHandle& request, const std::string& headers,
                     const std::string& body) override;

    bool SetOption(const HttpHandle& request, uint32_t option, uint32_t value) override {
        Entry* entry = Find(request);
        if (!entry) return false;
        DWORD number = value;
        if (!InternetSetOptionA(entry->native, option, &number, sizeof number)) {
            return Fail(GetLastError());
        }
        if (option == INTERNET_OPTION_SECURITY_FLAGS) entry->securityFlags = number;
        return true;
    }

    bool SetOption(const HttpHandle& request, uint32_t option, const std::string& value) override {
        Entry* entry = Find(request);
        if (!entry) return false;
        if (!InternetSetOptionA(entry->native, option, const_cast<char*>(value.c_str()),
                                static_cast<DWORD>(value.size()))) {
            return Fail(GetLastError());
        }
        entry->textOptions[option] = value;
        return true;
    }

    bool QueryInfo(const HttpHandle& request, uint32_t infoLevel, uint32_t& value) override {
        Entry* entry = Find(request);
        if (!entry) return false;
        DWORD number = 0;
        DWORD size = sizeof number;
        if (!HttpQueryInfoA(entry->Current(), infoLevel, &number, &size, nullptr)) {
            return Fail(GetLastError());
        }
        value = number;
        return true;
    }

    // Reads until the buffer is full or the reply has ended, as a synchronous InternetReadFile
    // does; past kMaxHttpReplyBytes of the reply it fails.
    bool Read(const HttpHandle& request, char* buffer, uint32_t size, uint32_t& read) override;

    uint32_t LastError() const override { return m_lastError; }

    std::string LastErrorDetail() const override {
        if (m_lastError == 0) return {};
        return "WinINet error " + std::to_string(m_nativeError) +
               (m_strDetail.empty() ? "" : " (" + m_strDetail + ")");
    }

protected:
    void CloseHandle(HttpHandle::Value value) override {
        auto it = m_entries.find(value);
        if (it == m_entries.end()) return;
        CloseHops(it->second);
        if (it->second.native) InternetCloseHandle(it->second.native);
        m_entries.erase(it);
    }

private:
    struct Entry {
        HINTERNET native = nullptr;   // the handle as opened
        HINTERNET session = nullptr;  // connections and requests: their internet handle
        // Requests only.
        std::string strVerb;
        DWORD flags = 0;
        Target target;  // where the request itself goes
        std::optional<DWORD> securityFlags;
        std::map<uint32_t, std::string> textOptions;
        HINTERNET hopConnection = nullptr;  // after a redirect: where it led
        HINTERNET hopRequest = nullptr;
        uint64_t bytesRead = 0;
        std::optional<DWORD> claimedLength;  // the reply's Content-Length, once read

        HINTERNET Current() const { return hopRequest ? hopRequest : native; }
    };

    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(m_pCompletion); }

    bool Fail(DWORD error, std::string detail = {}) {
        m_nativeError = error;
        m_lastError = m_cancel.IsCancelled() ? kCancelled : error;
        m_strDetail = std::move(detail);
        return false;
    }
    // A WinINet call failed: its last error.
    HttpHandle Failed() {
        Fail(GetLastError());
        return {};
    }

    bool Usable() {
        if (m_cancel.IsCancelled()) return Fail(kCancelled);
        return true;
    }

    HttpHandle Add(Entry entry) {
        HttpHandle::Value value = m_nextValue++;
        m_entries.emplace(value, std::move(entry));
        return HttpHandle(*this, value);
    }

    Entry* Find(const HttpHandle& handle) {
        if (!Usable()) return nullptr;
        auto it = m_entries.find(handle.Get());
        if (it == m_entries.end()) {
            Fail(kWrongHandle);
            return nullptr;
        }
        return &it->second;
    }

    void CloseHops(Entry& entry) {
        if (entry.hopRequest) InternetCloseHandle(entry.hopRequest);
        if (entry.hopConnection) InternetCloseHandle(entry.hopConnection);
        entry.hopRequest = entry.hopConnection = nullptr;
    }

    // Children first, so that no handle outlives the one it came from.
    void CloseAll() {
        for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
            CloseHops(it->second);
            if (it->second.native) InternetCloseHandle(it->second.native);
        }
        m_entries.clear();
    }

    // No callback reaches the completion after this returns.
    void Forget() {
        std::lock_guard<std::mutex> lock(LiveMutex());
        Live().erase(m_pCompletion);
    }

    // A stop came while a call was pending: WinINet may still use the completion's buffers, so
    // they are left to it, and the handles closed without their callback.
    void Abandon() {
        for (auto& entry : m_entries) {
            for (HINTERNET handle :
                 {entry.second.native, entry.second.hopConnection, entry.second.hopRequest}) {
                if (handle) InternetSetStatusCallbackA(handle, nullptr);
            }
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

    bool SendOnce(Entry& entry, HINTERNET& request, const std::string& headers, bool bWithBody) {
        if (m_bOnlyCheckedConnections) return SendChecked(entry, request, headers, bWithBody);
        std::vector<char>& body = m_pCompletion->body;
        ResetEvent(m_pCompletion->event);
        return Complete(HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(),
                                         static_cast<DWORD>(headers.size()),
                                         bWithBody && !body.empty() ? body.data() : nullptr,
                                         bWithBody ? static_cast<DWORD>(body.size()) : 0));
    }

    // WinINet keeps connections for the whole process and may give a request one that another
    // request opened with certificate checks waived; which one it took is known only once the
    // head is sent. So the head goes first, and the body only over a connection that checked
    // what this request asked for; any other is refused as an unknown issuer, and closed with
    // the request so that nothing more goes over it.
    bool SendChecked(Entry& entry, HINTERNET& request, const std::string& headers, bool bWithBody) {
        Completion& c = *m_pCompletion;
        c.headers = headers;
        c.buffers = INTERNET_BUFFERSA{};
        c.buffers.dwStructSize = sizeof c.buffers;
        c.buffers.lpcszHeader = c.headers.empty() ? nullptr : c.headers.c_str();
        c.buffers.dwHeadersLength = static_cast<DWORD>(c.headers.size());
        c.buffers.dwBufferTotal = bWithBody ? static_cast<DWORD>(c.body.size()) : 0;
        ResetEvent(c.event);
        if (!Complete(HttpSendRequestExA(request, &c.buffers, nullptr, 0, Context()))) return false;

        DWORD flags = 0;
        DWORD size = sizeof flags;
        if (!InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
            return Fail(GetLastError());
        }
        const DWORD waived = flags & kWaivingFlags & ~entry.securityFlags.value_or(0);
        if (waived != 0) {
            // Wine puts even a connection left in mid-request back in its pool, where the next
            // request would be taken for this one's body; a change of settings empties the pool.
            // The request lets its connection go only as it closes, which may come later.
            SetClosing(request);
            ResetEvent(c.event);
            InternetCloseHandle(request);
            request = nullptr;
            if (!m_cancel.IsCancelled()) WaitForSingleObject(c.event, kClosingWaitMs);
            SetClosing(nullptr);
            InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
            char detail[96];
            std::snprintf(detail, sizeof detail,
                          "kept connection has certificate checks waived (security flags 0x%lx)",
                          static_cast<unsigned long>(flags));
            return Fail(ERROR_INTERNET_INVALID_CA, detail);
        }

        for (DWORD sent = 0; sent < c.buffers.dwBufferTotal;) {
            c.written = 0;
            ResetEvent(c.event);
            if (!Complete(InternetWriteFile(request, c.body.data() + sent,
                                            c.buffers.dwBufferTotal - sent, &c.written))) {
                return false;
            }
            if (c.written == 0) return Fail(ERROR_INTERNET_CONNECTION_ABORTED, "body not taken");
            sent += c.written;
        }
        ResetEvent(c.event);
        return Complete(HttpEndRequestA(request, nullptr, 0, Context()));
    }

    // The status callback reads it under the same lock.
    void SetClosing(HINTERNET request) {
        std::lock_guard<std::mutex> lock(LiveMutex());
        m_pCompletion->closing = request;
    }

    // The redirect a reply asks for, if it is one.
    std::optional<std::string> RedirectOf(HINTERNET request) {
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(request, HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_STATUS_CODE, &status,
                            &size, nullptr)) {
            return std::nullopt;
        }
        if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
            return std::nullopt;
        }
        std::string location(INTERNET_MAX_URL_LENGTH, '\0');
        size = static_cast<DWORD>(location.size());
        if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) {
            return std::nullopt;  // no address: the redirect is the reply
        }
        location.resize(size);
        return location;
    }

    // Opens the request that a redirect leads to, with the options set on the first.
    bool OpenHop(Entry& entry, const Target& target, const std::string& verb) {
        CloseHops(entry);
        entry.hopConnection =
            InternetConnectA(entry.session, target.strHost.c_str(), target.port, nullptr, nullptr,
                             INTERNET_SERVICE_HTTP, 0, Context());
        if (!entry.hopConnection) return Fail(GetLastError());
        entry.hopRequest = HttpOpenRequestA(
            entry.hopConnection, verb.c_str(), target.strObject.c_str(), nullptr, nullptr, nullptr,
            entry.flags | INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT, Context());
        if (!entry.hopRequest) return Fail(GetLastError());
        if (entry.securityFlags) {
            DWORD number = *entry.securityFlags;
            if (!InternetSetOptionA(entry.hopRequest, INTERNET_OPTION_SECURITY_FLAGS, &number,
                                    sizeof number)) {
                return Fail(GetLastError());
            }
        }
        for (const auto& option : entry.textOptions) {
            if (!InternetSetOptionA(entry.hopRequest, option.first,
                                    const_cast<char*>(option.second.c_str()),
                                    static_cast<DWORD>(option.second.size()))) {
                return Fail(GetLastError());
            }
        }
        return true;
    }

    // How long the send or read in progress may still wait: until the deadline that the send
    // set for itself and the reading of its reply.
    DWORD RemainingMs() const {
        if (m_deadline == 0) return INFINITE;  // no send yet
        const ULONGLONG now = GetTickCount64();
        return now >= m_deadline ? 0 : static_cast<DWORD>(m_deadline - now);
    }

    HttpCancel& m_cancel;
    const HttpRedirectPolicy m_redirects;
    const bool m_bOnlyCheckedConnections;
    const HttpTimeouts m_timeouts;
    ULONGLONG m_deadline = 0;
    Completion* m_pCompletion;  // abandoned, not freed, after a stop left a call pending
    bool m_bAbandoned = false;
    std::map<HttpHandle::Value, Entry> m_entries;  // in the order opened
    HttpHandle::Value m_nextValue = 1;
    uint32_t m_lastError = 0;
    uint32_t m_nativeError = 0;
    std::string m_strDetail;
    HttpCancel::Subscription m_subscription;
};

bool WinInetHttpClient::SendRequest(const HttpHandle& request, const std::string& headers,
                                    const std::string& body) {
    Entry* entry = Find(request);
    if (!entry) return false;
    CloseHops(*entry);  // each send starts at the request's own address
    entry->bytesRead = 0;
    entry->claimedLength.reset();
    m_deadline = GetTickCount64() + m_timeouts.TotalMs();
    m_pCompletion->body.assign(body.begin(), body.end());
    if (!entry->native) return Fail(ERROR_INVALID_HANDLE, "request refused before");
    if (!SendOnce(*entry, entry->native, headers, true)) return false;

    Target current = entry->target;
    bool bWithBody = true;
    for (int hops = 0;; ++hops) {
        const HINTERNET answered = entry->Current();
        // WinINet takes a connection closed before any status line for an empty reply, which
        // the login would then read as one without a refusal code.
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(answered, HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_STATUS_CODE, &status,
                            &size, nullptr) ||
            status == 0) {
            return Fail(ERROR_INTERNET_CONNECTION_ABORTED, "connection closed without a reply");
        }
        std::optional<std::string> location = RedirectOf(answered);
        if (!location) return true;
        std::optional<Target> next = TargetOf(*location, current);
        if (!next ||
            !RedirectAllowed(m_redirects, entry->target.strHost, next->bSecure, next->strHost)) {
            return Fail(kRedirectRefused, "redirect to " + *location + " refused");
        }
        if (hops == static_cast<int>(m_timeouts.maxRedirects)) {
            return Fail(ERROR_HTTP_REDIRECT_FAILED, "too many redirects");
        }
        // 307 and 308 repeat the request as it was; the others ask for a GET of the new address.
        std::string verb = entry->strVerb;
        if (status != 307 && status != 308) {
            verb = "GET";
            bWithBody = false;
        }
        if (!OpenHop(*entry, *next, verb)) return false;
        if (!SendOnce(*entry, entry->hopRequest, headers, bWithBody)) return false;
        current = *next;
    }
}

bool WinInetHttpClient::Read(const HttpHandle& request, char* buffer, uint32_t size,
                             uint32_t& read) {
    read = 0;
    Entry* entry = Find(request);
    if (!entry) return false;
    if (entry->bytesRead == 0) {
        // A claim past the bound is refused before a byte of it is waited for.
        DWORD length = 0;
        DWORD lengthSize = sizeof length;
        if (HttpQueryInfoA(entry->Current(), HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_CONTENT_LENGTH,
                           &length, &lengthSize, nullptr)) {
            if (length > kMaxHttpReplyBytes) {
                return Fail(kOverBound, "reply claims " + std::to_string(length) + " bytes, over " +
                                            std::to_string(kMaxHttpReplyBytes));
            }
            entry->claimedLength = length;
        }
    }
    while (read < size) {
        if (RemainingMs() == 0) {
            return Fail(ERROR_INTERNET_TIMEOUT,
                        "reply not read within " + std::to_string(m_timeouts.TotalMs()) + " ms");
        }
        // One byte past the bound is asked for, to tell a reply that ends there from a longer one.
        const uint64_t allowed =
            kMaxHttpReplyBytes + 1 - std::min<uint64_t>(entry->bytesRead, kMaxHttpReplyBytes);
        const DWORD want = static_cast<DWORD>(
            std::min<uint64_t>({uint64_t{size - read}, uint64_t{kReadChunk}, allowed}));
        if (m_pCompletion->chunk.empty()) m_pCompletion->chunk.resize(kReadChunk);
        m_pCompletion->chunkRead = 0;
        ResetEvent(m_pCompletion->event);
        if (!Complete(InternetReadFile(entry->Current(), m_pCompletion->chunk.data(), want,
                                       &m_pCompletion->chunkRead))) {
            return false;
        }
        const DWORD got = std::min(m_pCompletion->chunkRead, want);
        if (got == 0) {
            // WinINet reads a connection that broke as the reply's end; a reply shorter than
            // its length is a broken one, as libcurl reports it.
            if (entry->claimedLength && entry->bytesRead < *entry->claimedLength) {
                return Fail(ERROR_INTERNET_CONNECTION_ABORTED,
                            "reply ended after " + std::to_string(entry->bytesRead) + " of " +
                                std::to_string(*entry->claimedLength) + " bytes");
            }
            break;
        }
        if (entry->bytesRead + got > kMaxHttpReplyBytes) {
            return Fail(kOverBound, "reply over " + std::to_string(kMaxHttpReplyBytes) + " bytes");
        }
        std::memcpy(buffer + read, m_pCompletion->chunk.data(), got);
        read += got;
        entry->bytesRead += got;
    }
    return true;
}

}  // namespace

std::unique_ptr<IHttpClient> CreateHttpClient(HttpCancel& cancel,
                                              const HttpClientOptions& options) {
    return std::make_unique<WinInetHttpClient>(cancel, options);
}
