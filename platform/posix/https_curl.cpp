// The WinINet-shaped client over libcurl. Open, Connect and OpenRequest only record settings; the
// whole exchange runs at SendRequest, and the queries and reads are answered from what it received.
#include "platform/https.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>
#include <variant>

#include "platform/https_policy.h"
#include "platform/posix/curl_faults.h"

namespace {

struct Session {
    std::string strAgent;
    uint32_t accessType = inet::INTERNET_OPEN_TYPE_DIRECT;
    std::string strProxy;
};

struct Connection {
    Session session;
    std::string strServer;
    uint16_t port = 0;
};

// What the last send of a request received.
struct Reply {
    uint32_t status = 0;
    std::optional<uint64_t> claimedLength;  // the Content-Length, even past 32 bits
    std::string body;
    size_t readPos = 0;
    // The transfer broke after the reply's head: reading past what arrived fails with this.
    uint32_t readError = 0;
    std::string strReadErrorDetail;
};

struct Request {
    Connection connection;
    std::string strVerb;
    std::string strObject;
    uint32_t flags = 0;
    uint32_t securityFlags = 0;
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
    bool bSent = false;
    Reply reply;
};

using Object = std::variant<Session, Connection, Request>;

// State shared with libcurl's callbacks during one send.
struct Transfer {
    const HttpCancel* pCancel = nullptr;
    CURL* pEasy = nullptr;
    // A stall: once connected, no byte moved either way for this long ends the transfer.
    std::chrono::milliseconds stallLimit{0};
    bool bSecure = true;
    std::optional<std::chrono::steady_clock::time_point> lastMoved;
    curl_off_t movedBytes = -1;
    curl_off_t headBytes = 0;    // the progress counts only the body
    std::string strRequestHost;  // the host name of the request itself
    CurlCertificateChecks checks;
    HttpRedirectPolicy redirects = HttpRedirectPolicy::kHttpsOnly;
    CurlFaultSigns signs;
    std::string strRefusedUrl;
    bool bHeadComplete = false;
    bool bFinalHead = false;                // the head is not a redirect's nor an interim one
    std::optional<uint64_t> claimedLength;  // as the head says, even past 32 bits
    std::string body;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The length a header gives, saturated at UINT64_MAX; nothing without digits.
std::optional<uint64_t> ParseLength(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    uint64_t value = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        const auto digit = static_cast<uint64_t>(text[digits] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

// The status of a status line ("HTTP/1.1 200 OK"); 0 when unreadable.
long StatusOf(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) return 0;
    long status = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

// Each head starts with a status line; a redirect or an interim reply starts a new one. A final
// head that claims more than the bound ends the transfer there (returning 0 fails it), rather
// than wait for bytes that would be refused anyway.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    transfer.headBytes += static_cast<curl_off_t>(line.size());
    if (StartsWithNoCase(line, "HTTP/")) {
        const long status = StatusOf(line);
        transfer.bHeadComplete = false;
        transfer.bFinalHead = status >= 200 && !(status >= 300 && status < 400);
        transfer.claimedLength.reset();
    } else if (line == "\r\n" || line == "\n") {
        transfer.bHeadComplete = true;
        if (transfer.bFinalHead && transfer.claimedLength &&
            *transfer.claimedLength > kMaxHttpReplyBytes) {
            transfer.signs.bOverBound = true;
            return 0;
        }
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        transfer.claimedLength = ParseLength(line.substr(std::strlen("Content-Length:")));
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    size_t bytes = size * count;
    if (transfer.body.size() + bytes > kMaxHttpReplyBytes) {
        transfer.signs.bOverBound = true;
        return 0;  // ends the transfer with CURLE_WRITE_ERROR
    }
    transfer.body.append(data, bytes);
    return bytes;
}

// WinINet's send and receive time-outs, each a stall in its own direction, as one: libcurl
// watches the bytes moved either way together.
uint32_t StallLimitMs(const HttpTimeouts& timeouts) {
    return std::max(timeouts.sendMs, timeouts.receiveMs);
}

// Whether the connection (and its TLS handshake) is up: the connect time-out covers what
// comes before.
bool Connected(const Transfer& transfer) {
    curl_off_t connected = 0;
    curl_easy_getinfo(transfer.pEasy,
                      transfer.bSecure ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T,
                      &connected);
    return connected > 0;
}

// Called at least once a second by Perform's wait: a stop request or a stall ends the transfer.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.pCancel->IsCancelled()) return 1;
    if (!Connected(transfer)) return 0;
    const auto now = std::chrono::steady_clock::now();
    const curl_off_t moved = downloaded + uploaded + transfer.headBytes;
    if (!transfer.lastMoved || moved != transfer.movedBytes) {
        transfer.lastMoved = now;
        transfer.movedBytes = moved;
        return 0;
    }
    if (now - *transfer.lastMoved < transfer.stallLimit) return 0;
    transfer.signs.bStalled = true;
    return 1;
}

// The scheme and host name of `url` as libcurl reads it; false when it cannot.
bool SplitUrl(const char* url, bool& bHttps, std::string& host) {
    CURLU* parts = curl_url();
    if (!parts) return false;
    char* scheme = nullptr;
    char* name = nullptr;
    bool bRead = false;
    if (curl_url_set(parts, CURLUPART_URL, url, 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK) {
        bHttps = StartsWithNoCase(scheme, "https") && std::strlen(scheme) == 5;
        host = name;
        bRead = true;
    }
    curl_free(scheme);
    curl_free(name);
    curl_url_cleanup(parts);
    return bRead;
}

long RedirectCount(const Transfer& transfer) {
    long redirects = 0;
    curl_easy_getinfo(transfer.pEasy, CURLINFO_REDIRECT_COUNT, &redirects);
    return redirects;
}

// Every connection of a send is opened here, so that a redirect is judged before anything
// reaches its address.
curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (RedirectCount(transfer) > 0) {
        char* url = nullptr;
        curl_easy_getinfo(transfer.pEasy, CURLINFO_EFFECTIVE_URL, &url);
        bool bHttps = false;
        std::string host;
        if (!url || !SplitUrl(url, bHttps, host) ||
            !RedirectAllowed(transfer.redirects, transfer.strRequestHost, bHttps, host)) {
            transfer.signs.bRedirectRefused = true;
            transfer.strRefusedUrl = url ? url : "";
            return CURL_SOCKET_BAD;
        }
        transfer.checks.strHost = host;
    }
    return socket(address->family, address->socktype, address->protocol);
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;

// The caller's header block ("Name: value\r\n" lines, a blank line allowed at the end) as
// libcurl's list. "Expect:" keeps libcurl from waiting for 100-continue, which WinINet never does.
SlistPtr HeaderList(const std::string& headers) {
    SlistPtr list;
    auto append = [&list](const std::string& line) {
        // The head of a list never moves; only the first append gives one.
        curl_slist* head = curl_slist_append(list.get(), line.c_str());
        if (head && !list) list.reset(head);
    };
    size_t pos = 0;
    while (pos < headers.size()) {
        size_t end = headers.find('\n', pos);
        if (end == std::string::npos) end = headers.size();
        std::string line = headers.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) append(line);
        pos = end + 1;
    }
    append("Expect:");
    return list;
}

std::string RequestUrl(const Request& request) {
    const Connection& connection = request.connection;
    bool bSecure = (request.flags & inet::INTERNET_FLAG_SECURE) != 0;
    std::string host = connection.strServer;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";  // an IPv6 literal
    uint16_t port = connection.port != 0 ? connection.port : (bSecure ? 443 : 80);
    std::string object = request.strObject.empty() ? "/" : request.strObject;
    if (object.front() != '/') object.insert(object.begin(), '/');
    return (bSecure ? "https://" : "http://") + host + ":" + std::to_string(port) + object;
}

class CurlHttpClient final : public IHttpClient {
public:
    CurlHttpClient(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel), m_options(options) {
        static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (init == CURLE_OK) m_pMulti.reset(curl_multi_init());
        if (m_pMulti) {
            m_subscription =
                cancel.Subscribe([multi = m_pMulti.get()] { curl_multi_wakeup(multi); });
        }
    }

    HttpHandle Open(const std::string& agent, uint32_t accessType,
                    const std::string& proxy) override {
        if (!Ready()) return {};
        return Add(Session{agent, accessType, proxy});
    }

    HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                       uint16_t port) override {
        if (!Ready()) return {};
        auto* session = Find<Session>(internet);
        if (!session) return {};
        return Add(Connection{*session, server, port});
    }

    HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                           const std::string& object, uint32_t flags) override {
        if (!Ready()) return {};
        auto* owner = Find<Connection>(connection);
        if (!owner) return {};
        Request request;
        request.connection = *owner;
        request.strVerb = verb.empty() ? "GET" : verb;
        request.strObject = object;
        request.flags = flags;
        return Add(std::move(request));
    }

    bool SendRequest(const HttpHandle& handle, const std::string& headers,
                     const std::string& body) override;

    bool SetOption(const HttpHandle& handle, uint32_t option, uint32_t value) override {
        auto* request = Find<Request>(handle);
        if (!request) return false;
        if (option != inet::INTERNET_OPTION_SECURITY_FLAGS) {
            return Fail(inet::ERROR_INTERNET_INVALID_OPTION, "not a numeric option");
        }
        request->securityFlags = value;
        return true;
    }

    bool SetOption(const HttpHandle& handle, uint32_t option, const std::string& value) override {
        auto* request = Find<Request>(handle);
        if (!request) return false;
        if (option == inet::INTERNET_OPTION_PROXY_USERNAME) {
            request->proxyUser = value;
        } else if (option == inet::INTERNET_OPTION_PROXY_PASSWORD) {
            request->proxyPassword = value;
        } else {
            return Fail(inet::ERROR_INTERNET_INVALID_OPTION, "not a text option");
        }
        return true;
    }

    bool QueryInfo(const HttpHandle& handle, uint32_t infoLevel, uint32_t& value) override {
        auto* request = Find<Request>(handle);
        if (!request) return false;
        if (!request->bSent) return Fail(inet::ERROR_INTERNET_INCORRECT_HANDLE_STATE, "not sent");
        switch (infoLevel) {
            case inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE:
                value = request->reply.status;
                return true;
            case inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_CONTENT_LENGTH: {
                // A length past 32 bits has no answer in the query's 4-byte number.
                const std::optional<uint64_t>& length = request->reply.claimedLength;
                if (!length || *length > UINT32_MAX) {
                    return Fail(inet::ERROR_HTTP_HEADER_NOT_FOUND, "no Content-Length");
                }
                value = static_cast<uint32_t>(*length);
                return true;
            }
            default:
                return Fail(inet::ERROR_INTERNET_INVALID_OPTION, "query not offered");
        }
    }

    bool Read(const HttpHandle& handle, char* buffer, uint32_t size, uint32_t& read) override {
        read = 0;
        if (!Ready()) return false;
        auto* request = Find<Request>(handle);
        if (!request) return false;
        if (!request->bSent) return Fail(inet::ERROR_INTERNET_INCORRECT_HANDLE_STATE, "not sent");
        Reply& reply = request->reply;
        size_t count = std::min<size_t>(size, reply.body.size() - reply.readPos);
        std::copy_n(reply.body.data() + reply.readPos, count, buffer);
        reply.readPos += count;
        read = static_cast<uint32_t>(count);
        if (count < size && reply.readError != 0) {
            return Fail(reply.readError, reply.strReadErrorDetail);
        }
        return true;
    }

    uint32_t LastError() const override { return m_lastError; }
    std::string LastErrorDetail() const override { return m_strLastErrorDetail; }

protected:
    void CloseHandle(HttpHandle::Value value) override { m_objects.erase(value); }

private:
    bool Fail(uint32_t error, std::string detail) {
        m_lastError = error;
        m_strLastErrorDetail = std::move(detail);
        return false;
    }

    // False, with the reason set, once the stop request came or when libcurl did not start.
    bool Ready() {
        if (m_cancel.IsCancelled()) {
            return Fail(inet::ERROR_INTERNET_OPERATION_CANCELLED, "cancelled");
        }
        if (!m_pMulti) return Fail(inet::ERROR_INTERNET_INTERNAL_ERROR, "libcurl did not start");
        return true;
    }

    HttpHandle Add(Object object) {
        HttpHandle::Value value = m_nextValue++;
        m_objects.emplace(value, std::move(object));
        return HttpHandle(*this, value);
    }

    template <class T>
    T* Find(const HttpHandle& handle) {
        auto it = m_objects.find(handle.Get());
        T* object = it == m_objects.end() ? nullptr : std::get_if<T>(&it->second);
        if (!object) Fail(inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "wrong or closed handle");
        return object;
    }

    EasyPtr Prepare(const Request& request, const std::string& body, curl_slist* headerList,
                    Transfer& transfer, char* errorBuffer) const;
    CURLcode Perform(CURL* easy);

    HttpCancel& m_cancel;
    HttpClientOptions m_options;
    MultiPtr m_pMulti;
    HttpCancel::Subscription m_subscription;  // ends before m_pMulti, which it wakes
    std::map<HttpHandle::Value, Object> m_objects;
    HttpHandle::Value m_nextValue = 1;
    uint32_t m_lastError = 0;
    std::string m_strLastErrorDetail;
};

EasyPtr CurlHttpClient::Prepare(const Request& request, const std::string& body,
                                curl_slist* headerList, Transfer& transfer,
                                char* errorBuffer) const {
    EasyPtr easy(curl_easy_init());
    if (!easy) return easy;
    CURL* e = easy.get();
    const Session& session = request.connection.session;

    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_URL, RequestUrl(request).c_str());
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_USERAGENT, session.strAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList);
    // Every send stands alone, as the options it runs with may have changed since the last.
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    // WinINet follows redirects by default, but only to https: (the policy may narrow that).
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &transfer);

    // WinINet's bounds, in libcurl's terms: the connect time-out covers the TLS handshake too; a
    // stall ends on the send or receive time-out (OnProgress); and the whole transfer has the
    // sum of the three, so that a server dripping bytes cannot hold it.
    const HttpTimeouts& timeouts = m_options.timeouts;
    const long stallSeconds =
        std::max<long>(1, static_cast<long>((StallLimitMs(timeouts) + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connectMs));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.TotalMs()));
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(timeouts.maxRedirects));
    // A peer that vanished without a word (a mobile link dropping) is found out.
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPIDLE, stallSeconds);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPINTVL, stallSeconds);

    if (request.strVerb == "GET" && body.empty()) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, body.data());
        if (request.strVerb != "POST") {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.strVerb.c_str());
        }
    }

    if (session.accessType == inet::INTERNET_OPEN_TYPE_PROXY) {
        curl_easy_setopt(e, CURLOPT_PROXY, session.strProxy.c_str());
        if (request.proxyUser || request.proxyPassword) {
            curl_easy_setopt(e, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
            curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, request.proxyUser.value_or("").c_str());
            curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, request.proxyPassword.value_or("").c_str());
        }
    } else if (session.accessType != inet::INTERNET_OPEN_TYPE_PRECONFIG) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");  // direct, whatever the environment says
    }
    // The proxy's own answer to CONNECT is not the reply; a 407 there is told by its code.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    SetCertificateChecks(e, transfer.checks, m_options.strTrustedCertificates);

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer);
    return easy;
}

// Runs one transfer to its end. The stop request wakes the wait at once.
CURLcode CurlHttpClient::Perform(CURL* easy) {
    CURLM* multi = m_pMulti.get();
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    bool bDone = false;
    while (!bDone) {
        if (m_cancel.IsCancelled()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
                bDone = true;
            }
        }
        if (!bDone && curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

bool CurlHttpClient::SendRequest(const HttpHandle& handle, const std::string& headers,
                                 const std::string& body) {
    if (!Ready()) return false;
    auto* request = Find<Request>(handle);
    if (!request) return false;
    request->bSent = false;
    request->reply = Reply();

    Transfer transfer;
    transfer.pCancel = &m_cancel;
    transfer.stallLimit = std::chrono::milliseconds(StallLimitMs(m_options.timeouts));
    transfer.bSecure = (request->flags & inet::INTERNET_FLAG_SECURE) != 0;
    transfer.strRequestHost = transfer.checks.strHost = request->connection.strServer;
    transfer.checks.securityFlags = request->securityFlags;
    transfer.redirects = m_options.redirects;
    char errorBuffer[CURL_ERROR_SIZE] = "";
    SlistPtr headerList = HeaderList(headers);
    EasyPtr easy = Prepare(*request, body, headerList.get(), transfer, errorBuffer);
    if (!easy) return Fail(inet::ERROR_INTERNET_INTERNAL_ERROR, "curl_easy_init failed");
    transfer.pEasy = easy.get();

    CURLcode code = Perform(easy.get());
    long status = 0;
    long connectStatus = 0;
    long verifyResult = X509_V_OK;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    curl_easy_getinfo(easy.get(), CURLINFO_SSL_VERIFYRESULT, &verifyResult);

    transfer.signs.bRedirected = RedirectCount(transfer) > 0;
    const uint32_t error = code == CURLE_OK ? 0 : ErrorFromCurl(code, verifyResult, transfer.signs);
    // The number the caller acts on first, so that a trace of the detail names it.
    std::string detail = "error " + std::to_string(error) + " (libcurl " + std::to_string(code) +
                         ": " + (errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)) + ")";
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        detail += " (X509 verify result " + std::to_string(verifyResult) + ")";
    }
    if (transfer.signs.bRedirectRefused) {
        detail += " (redirect to " + transfer.strRefusedUrl + " refused)";
    }
    if (transfer.signs.bOverBound) {
        detail += " (reply over " + std::to_string(kMaxHttpReplyBytes) + " bytes)";
    }
    if (m_cancel.IsCancelled()) return Fail(inet::ERROR_INTERNET_OPERATION_CANCELLED, detail);

    Reply& reply = request->reply;
    // A refused redirect's head is not the reply, nor is the one past the redirect limit.
    const bool bRefused = error == inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR ||
                          error == inet::ERROR_HTTP_REDIRECT_FAILED;
    if (!bRefused && code != CURLE_OK && status == 0 && connectStatus >= 300) {
        // As with WinINet, the proxy's refusal to tunnel (407 without or 401 with wrong
        // credentials) is a reply whose status the caller reads.
        reply.status = static_cast<uint32_t>(connectStatus);
    } else if (code == CURLE_OK || (!bRefused && status != 0 && transfer.bHeadComplete)) {
        reply.status = static_cast<uint32_t>(status);
        reply.claimedLength = transfer.claimedLength;
        reply.body = std::move(transfer.body);
        if (code != CURLE_OK) {
            reply.readError = error;
            reply.strReadErrorDetail = detail;
        }
    } else {
        return Fail(error, detail);
    }
    request->bSent = true;
    return true;
}

}  // namespace

std::unique_ptr<IHttpClient> CreateHttpClient(HttpCancel& cancel,
                                              const HttpClientOptions& options) {
    return std::make_unique<CurlHttpClient>(cancel, options);
}
