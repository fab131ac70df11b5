// The libcurl face: one hop is one transfer on the face's multi handle, so that a stop request
// wakes its wait at once. Redirects are not followed here; the shared client decides on them.
#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/https_hop.h"
#include "platform/https_policy.h"
#include "platform/posix/curl_faults.h"

namespace {

// State shared with libcurl's callbacks during one hop.
struct Transfer {
    const HttpCancel* pCancel = nullptr;
    CURL* pEasy = nullptr;
    // A stall: once connected, no byte moved either way for this long ends the transfer.
    std::chrono::milliseconds stallLimit{0};
    bool bSecure = true;
    std::optional<std::chrono::steady_clock::time_point> lastMoved;
    curl_off_t movedBytes = -1;
    curl_off_t headBytes = 0;  // the progress counts only the body
    CurlCertificateChecks checks;
    CurlFaultSigns signs;
    uint32_t status = 0;  // of the head being read
    bool bHeadComplete = false;
    HttpHopResult result;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// The length a header gives, saturated at UINT64_MAX; nothing without digits.
std::optional<uint64_t> ParseLength(std::string_view text) {
    text = Trimmed(text);
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
uint32_t StatusOf(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) return 0;
    uint32_t status = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        status = status * 10 + static_cast<uint32_t>(line[i] - '0');
    }
    return status;
}

// Each head starts with a status line; an interim reply starts a new one. A head that the policy
// refuses for its claim ends the transfer there (returning 0 fails it), rather than wait for
// bytes that would be refused anyway.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    HttpHopResult& result = transfer.result;
    std::string_view line(data, size * count);
    transfer.headBytes += static_cast<curl_off_t>(line.size());
    if (StartsWithNoCase(line, "HTTP/")) {
        transfer.status = StatusOf(line);
        transfer.bHeadComplete = false;
        result.claimedLength.reset();
        result.strLocation.clear();
    } else if (line == "\r\n" || line == "\n") {
        transfer.bHeadComplete = true;
        if (RefusesClaim(transfer.status, result.claimedLength)) {
            transfer.signs.bOverBound = true;
            return 0;
        }
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        result.claimedLength = ParseLength(line.substr(std::strlen("Content-Length:")));
    } else if (StartsWithNoCase(line, "Location:")) {
        result.strLocation = std::string(Trimmed(line.substr(std::strlen("Location:"))));
    }
    return size * count;
}

// Keeps the body up to the bound; a byte past it ends the transfer with CURLE_WRITE_ERROR.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    std::string& body = transfer.result.body;
    const size_t bytes = size * count;
    const size_t room = kMaxHttpReplyBytes - body.size();
    body.append(data, std::min(bytes, room));
    if (bytes <= room) return bytes;
    transfer.signs.bOverBound = true;
    return 0;
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

// libcurl decodes %XX in the proxy's user name and password as it would in a URL: given escaped,
// a '%', ':' or '@' in them reaches the proxy as the user typed it.
std::string Escaped(CURL* easy, const std::string& text) {
    char* escaped = curl_easy_escape(easy, text.data(), static_cast<int>(text.size()));
    std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

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

class CurlFace final : public IHttpFace {
public:
    CurlFace(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel), m_options(options) {
        static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (init == CURLE_OK) m_pMulti.reset(curl_multi_init());
        if (m_pMulti) {
            m_subscription =
                cancel.Subscribe([multi = m_pMulti.get()] { curl_multi_wakeup(multi); });
        }
    }

    HttpHopResult Send(const HttpHop& hop) override;

private:
    EasyPtr Prepare(const HttpHop& hop, curl_slist* headerList, Transfer& transfer,
                    char* errorBuffer) const;
    CURLcode Perform(CURL* easy);

    HttpCancel& m_cancel;
    const HttpClientOptions m_options;
    MultiPtr m_pMulti;
    HttpCancel::Subscription m_subscription;  // ends before m_pMulti, which it wakes
};

EasyPtr CurlFace::Prepare(const HttpHop& hop, curl_slist* headerList, Transfer& transfer,
                          char* errorBuffer) const {
    EasyPtr easy(curl_easy_init());
    if (!easy) return easy;
    CURL* e = easy.get();
    const HttpRoute& route = *hop.pRoute;

    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_URL, UrlOf(hop.target).c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_USERAGENT, route.strAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList);
    // Every send stands alone, as the options it runs with may have changed since the last.
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);

    // WinINet's bounds, in libcurl's terms: the connect time-out covers the TLS handshake too; a
    // stall ends on the send or receive time-out (OnProgress); and the hop has what is left of
    // the send's deadline, so that a server dripping bytes cannot hold it.
    const HttpTimeouts& timeouts = m_options.timeouts;
    const long stallSeconds =
        std::max<long>(1, static_cast<long>((StallLimitMs(timeouts) + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min(timeouts.connectMs, hop.remainingMs)));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(hop.remainingMs));
    // A peer that vanished without a word (a mobile link dropping) is found out.
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPIDLE, stallSeconds);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPINTVL, stallSeconds);

    if (!hop.pBody) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        if (hop.strVerb != "GET") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, hop.strVerb.c_str());
    } else {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(hop.pBody->size()));
        curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, hop.pBody->data());
        if (hop.strVerb != "POST") {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, hop.strVerb.c_str());
        }
    }

    if (route.accessType == inet::INTERNET_OPEN_TYPE_PROXY) {
        curl_easy_setopt(e, CURLOPT_PROXY, route.strProxy.c_str());
        if (route.proxyUser || route.proxyPassword) {
            // Whichever scheme the proxy offers, as WinINet answers its challenge.
            curl_easy_setopt(e, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
            curl_easy_setopt(e, CURLOPT_PROXYUSERNAME,
                             Escaped(e, route.proxyUser.value_or("")).c_str());
            curl_easy_setopt(e, CURLOPT_PROXYPASSWORD,
                             Escaped(e, route.proxyPassword.value_or("")).c_str());
        }
    } else if (route.accessType != inet::INTERNET_OPEN_TYPE_PRECONFIG) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");  // direct, whatever the environment says
    }
    // The proxy's own answer to CONNECT is not the reply; a refusal there is told by its code.
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
CURLcode CurlFace::Perform(CURL* easy) {
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

HttpHopResult CurlFace::Send(const HttpHop& hop) {
    HttpHopResult failed;
    if (m_cancel.IsCancelled()) {
        failed.error = inet::ERROR_INTERNET_OPERATION_CANCELLED;
        failed.strDetail = "cancelled";
        return failed;
    }
    if (!m_pMulti) {
        failed.error = inet::ERROR_INTERNET_INTERNAL_ERROR;
        failed.strDetail = "libcurl did not start";
        return failed;
    }
    Transfer transfer;
    transfer.pCancel = &m_cancel;
    transfer.stallLimit = std::chrono::milliseconds(StallLimitMs(m_options.timeouts));
    transfer.bSecure = hop.target.serviceType == inet::AFX_INET_SERVICE_HTTPS;
    transfer.checks.strHost = hop.target.strServer;
    transfer.checks.securityFlags = hop.securityFlags;
    char errorBuffer[CURL_ERROR_SIZE] = "";
    SlistPtr headerList = HeaderList(*hop.pHeaders);
    EasyPtr easy = Prepare(hop, headerList.get(), transfer, errorBuffer);
    if (!easy) {
        failed.error = inet::ERROR_INTERNET_INTERNAL_ERROR;
        failed.strDetail = "curl_easy_init failed";
        return failed;
    }
    transfer.pEasy = easy.get();

    const CURLcode code = Perform(easy.get());
    long status = 0;
    long connectStatus = 0;
    long verifyResult = X509_V_OK;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    curl_easy_getinfo(easy.get(), CURLINFO_SSL_VERIFYRESULT, &verifyResult);

    uint32_t error = code == CURLE_OK ? 0 : ErrorFromCurl(code, verifyResult, transfer.signs);
    if (m_cancel.IsCancelled()) error = inet::ERROR_INTERNET_OPERATION_CANCELLED;
    // The number the caller acts on first, so that a trace of the detail names it.
    std::string detail = "error " + std::to_string(error) + " (libcurl " + std::to_string(code) +
                         ": " + (errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)) + ")";
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        detail += " (X509 verify result " + std::to_string(verifyResult) + ")";
    }
    if (transfer.signs.bOverBound) {
        detail += " (reply over " + std::to_string(kMaxHttpReplyBytes) + " bytes)";
    }

    HttpHopResult& result = transfer.result;
    if (connectStatus >= 300) result.proxyConnectStatus = static_cast<uint32_t>(connectStatus);
    if (error == 0 || (status != 0 && transfer.bHeadComplete &&
                       error != inet::ERROR_INTERNET_OPERATION_CANCELLED)) {
        result.status = static_cast<uint32_t>(status);
        result.bodyError = error;
        if (error != 0) result.strBodyDetail = detail;
    } else {
        result.error = error;
        result.strDetail = detail;
    }
    return std::move(result);
}

}  // namespace

std::unique_ptr<IHttpFace> CreateHttpFace(HttpCancel& cancel, const HttpClientOptions& options) {
    return std::make_unique<CurlFace>(cancel, options);
}
