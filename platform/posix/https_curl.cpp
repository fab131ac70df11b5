// The libcurl face. libcurl makes the connection: TCP, the proxy's tunnel and the TLS handshake
// with the checks the request asks for (a connect-only transfer on a multi handle of its own,
// which a stop request wakes). The request and its reply then go over that connection as
// HTTP/1.1 text (platform/http1.h), so that the face decides which request a connection may
// carry: a connection is kept (HttpConnections) with what its handshake found, and one whose
// certificate failed a check never carries a request that must make it. Redirects are the shared
// client's.
#include <curl/curl.h>
#include <openssl/x509_vfy.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>

#include "platform/http1.h"
#include "platform/https_hop.h"
#include "platform/posix/curl_faults.h"

namespace {

using Clock = std::chrono::steady_clock;

// A handful of idle connections, each for a short while: enough for a sign-in's requests and a
// retry soon after, never a store of open sockets.
constexpr size_t kMaxIdleConnections = 4;
constexpr auto kIdleTimeout = std::chrono::seconds(30);

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;

// WinINet's send and receive time-outs, each a stall in its own direction, as one: the face
// watches the bytes moved either way together.
uint32_t StallLimitMs(const HttpTimeouts& timeouts) {
    return std::max(timeouts.sendMs, timeouts.receiveMs);
}

}  // namespace

// One connection: a connect-only transfer, which stays on its own multi handle for as long as
// the connection is used (libcurl finds the connection of curl_easy_send and curl_easy_recv
// there).
struct CurlConnection {
    std::string strKey;  // what a request must share to be carried (ConnectionKey)
    MultiPtr multi;
    EasyPtr easy;
    CurlCertificateChecks checks;  // read by OpenSSL during the handshake
    const HttpCancel* pCancel = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = "";
    curl_socket_t socket = CURL_SOCKET_BAD;
    Clock::time_point idleSince;

    ~CurlConnection() {
        if (multi && easy) curl_multi_remove_handle(multi.get(), easy.get());
        easy.reset();
        multi.reset();
    }

    // Whether it can carry another request: the peer has neither closed it nor sent anything
    // unasked (what TLS sends after the handshake is taken by OpenSSL itself).
    bool Alive() {
        char byte = 0;
        size_t read = 0;
        return curl_easy_recv(easy.get(), &byte, 1, &read) == CURLE_AGAIN;
    }
};

class HttpConnections {
public:
    // The newest idle connection for `key` that is still good; the stale ones go.
    std::unique_ptr<CurlConnection> Take(const std::string& key) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point now = Clock::now();
        m_idle.erase(std::remove_if(m_idle.begin(), m_idle.end(),
                                    [now](const std::unique_ptr<CurlConnection>& idle) {
                                        return now - idle->idleSince > kIdleTimeout;
                                    }),
                     m_idle.end());
        for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
            if ((*it)->strKey != key) continue;
            std::unique_ptr<CurlConnection> connection = std::move(*it);
            m_idle.erase(std::next(it).base());
            if (connection->Alive()) return connection;
            return nullptr;
        }
        return nullptr;
    }

    void Keep(std::unique_ptr<CurlConnection> connection) {
        std::lock_guard<std::mutex> lock(m_mutex);
        connection->idleSince = Clock::now();
        m_idle.push_back(std::move(connection));
        if (m_idle.size() > kMaxIdleConnections) m_idle.pop_front();
    }

private:
    std::mutex m_mutex;
    std::deque<std::unique_ptr<CurlConnection>> m_idle;  // oldest first
};

std::shared_ptr<HttpConnections> CreateHttpConnections() {
    return std::make_shared<HttpConnections>();
}

namespace {

// libcurl decodes %XX in the proxy's user name and password as it would in a URL: given escaped,
// a '%', ':' or '@' in them reaches the proxy as the user typed it.
std::string Escaped(CURL* easy, const std::string& text) {
    char* escaped = curl_easy_escape(easy, text.data(), static_cast<int>(text.size()));
    std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

// Called at least once a second while connecting: a stop request ends it.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CurlConnection*>(user)->pCancel->IsCancelled() ? 1 : 0;
}

// What a request shares with every other that a connection may carry: scheme, host and port,
// the proxy with its credentials, and the issuers trusted.
std::string ConnectionKey(const HttpHop& hop, const std::string& trustedCertificates) {
    const HttpRoute& route = *hop.pRoute;
    std::string key =
        UrlOf(ParsedUrl{hop.target.serviceType, hop.target.strServer, "/", hop.target.port});
    key += '\n' + std::to_string(route.accessType) + ' ' + route.strProxy;
    for (const std::optional<std::string>* text : {&route.proxyUser, &route.proxyPassword}) {
        key += *text ? "\n=" + **text : "\n-";
    }
    return key + '\n' + trustedCertificates;
}

// A hop that ended: its result, whether the connection may carry another request, and whether
// it failed before a byte of the reply came (a kept connection the server had closed).
struct Exchanged {
    HttpHopResult result;
    bool bKeep = false;
    bool bNothingReceived = true;
};

class CurlFace final : public IHttpFace {
public:
    CurlFace(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel),
          m_options(options),
          m_pConnections(options.connections ? options.connections : CreateHttpConnections()),
          m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
        m_bStarted = init == CURLE_OK && m_wake >= 0;
        if (m_wake >= 0) {
            m_subscription = cancel.Subscribe([this] {
                const eventfd_t one = 1;
                eventfd_write(m_wake, one);
                std::lock_guard<std::mutex> lock(m_connectingMutex);
                if (m_pConnecting) curl_multi_wakeup(m_pConnecting);
            });
        }
    }

    ~CurlFace() override {
        m_subscription = HttpCancel::Subscription();
        if (m_wake >= 0) close(m_wake);
    }

    HttpHopResult Send(const HttpHop& hop) override;

private:
    std::unique_ptr<CurlConnection> Connect(const HttpHop& hop, const Clock::time_point& deadline,
                                            HttpHopResult& failed);
    CURLcode RunConnect(CurlConnection& connection);
    Exchanged Exchange(CurlConnection& connection, const HttpHop& hop,
                       const Clock::time_point& deadline);
    // Waits until `socket` is ready for `events`, the stop request comes (12017) or neither the
    // deadline nor the stall limit since `lastMoved` leaves time (12002); 0 when ready.
    uint32_t Wait(curl_socket_t socket, short events, const Clock::time_point& deadline,
                  const Clock::time_point& lastMoved, std::string& detail);

    HttpCancel& m_cancel;
    const HttpClientOptions m_options;
    std::shared_ptr<HttpConnections> m_pConnections;
    int m_wake;  // an eventfd that the stop request makes readable
    bool m_bStarted = false;
    std::mutex m_connectingMutex;
    CURLM* m_pConnecting = nullptr;           // the multi handle of a connect in progress
    HttpCancel::Subscription m_subscription;  // ends first: it reaches the members above
};

CURLcode CurlFace::RunConnect(CurlConnection& connection) {
    CURLM* multi = connection.multi.get();
    if (curl_multi_add_handle(multi, connection.easy.get()) != CURLM_OK) return CURLE_FAILED_INIT;
    {
        std::lock_guard<std::mutex> lock(m_connectingMutex);
        m_pConnecting = multi;
    }
    CURLcode result = CURLE_OK;
    for (bool bDone = false; !bDone;) {
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
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                bDone = true;
            }
        }
        if (!bDone && curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    std::lock_guard<std::mutex> lock(m_connectingMutex);
    m_pConnecting = nullptr;
    return result;
}

std::unique_ptr<CurlConnection> CurlFace::Connect(const HttpHop& hop,
                                                  const Clock::time_point& deadline,
                                                  HttpHopResult& failed) {
    auto connection = std::make_unique<CurlConnection>();
    connection->multi.reset(curl_multi_init());
    connection->easy.reset(curl_easy_init());
    if (!connection->multi || !connection->easy) {
        failed.error = inet::ERROR_INTERNET_INTERNAL_ERROR;
        failed.strDetail = "libcurl did not start";
        return nullptr;
    }
    connection->strKey = ConnectionKey(hop, m_options.strTrustedCertificates);
    connection->pCancel = &m_cancel;
    connection->checks.strHost = hop.target.strServer;
    connection->checks.securityFlags = hop.securityFlags;
    connection->checks.bKeepsWaivableFailures = m_options.bRetriesCertificateErrors;
    CURL* e = connection->easy.get();
    const HttpRoute& route = *hop.pRoute;
    const HttpTimeouts& timeouts = m_options.timeouts;
    const auto leftMs = std::max<long long>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());

    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, connection->errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_URL, UrlOf(hop.target).c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    // The connect time-out covers the TLS handshake and the proxy's tunnel too.
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min<long long>(timeouts.connectMs, leftMs)));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(leftMs));
    // A peer that vanished without a word (a mobile link dropping) is found out.
    const long stallSeconds =
        std::max<long>(1, static_cast<long>((StallLimitMs(timeouts) + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPIDLE, stallSeconds);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPINTVL, stallSeconds);
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
    // Through a proxy the requests go in its tunnel, as WinINet's do.
    curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, 1L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    SetCertificateChecks(e, connection->checks, m_options.strTrustedCertificates);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, connection.get());

    const CURLcode code = RunConnect(*connection);
    if (code == CURLE_OK) {
        curl_easy_getinfo(e, CURLINFO_ACTIVESOCKET, &connection->socket);
        if (connection->socket != CURL_SOCKET_BAD) return connection;
    }
    long connectStatus = 0;
    long verifyResult = X509_V_OK;
    curl_easy_getinfo(e, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    curl_easy_getinfo(e, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
    uint32_t error = ErrorFromCurl(code, verifyResult, CurlFaultSigns());
    if (code == CURLE_OK) error = inet::ERROR_INTERNET_CANNOT_CONNECT;
    if (m_cancel.IsCancelled()) error = inet::ERROR_INTERNET_OPERATION_CANCELLED;
    // The number the caller acts on first, so that a trace of the detail names it.
    failed.error = error;
    failed.strDetail =
        "error " + std::to_string(error) + " (libcurl " + std::to_string(code) + ": " +
        (connection->errorBuffer[0] ? connection->errorBuffer : curl_easy_strerror(code)) + ")";
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        failed.strDetail += " (X509 verify result " + std::to_string(verifyResult) + ")";
    }
    if (connectStatus >= 300) failed.proxyConnectStatus = static_cast<uint32_t>(connectStatus);
    return nullptr;
}

uint32_t CurlFace::Wait(curl_socket_t socket, short events, const Clock::time_point& deadline,
                        const Clock::time_point& lastMoved, std::string& detail) {
    const auto stall = std::chrono::milliseconds(StallLimitMs(m_options.timeouts));
    while (true) {
        if (m_cancel.IsCancelled()) {
            detail = "cancelled";
            return inet::ERROR_INTERNET_OPERATION_CANCELLED;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            detail = "no end within " + std::to_string(m_options.timeouts.TotalMs()) + " ms";
            return inet::ERROR_INTERNET_TIMEOUT;
        }
        if (now - lastMoved >= stall) {
            detail = "nothing moved for " + std::to_string(stall.count()) + " ms";
            return inet::ERROR_INTERNET_TIMEOUT;
        }
        const auto until = std::min(deadline, lastMoved + stall);
        const auto waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
        pollfd fds[2] = {{socket, events, 0}, {m_wake, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(std::min<long long>(waitMs, 1000)));
        if (ready > 0 && fds[0].revents != 0) return 0;
    }
}

Exchanged CurlFace::Exchange(CurlConnection& connection, const HttpHop& hop,
                             const Clock::time_point& deadline) {
    Exchanged done;
    HttpHopResult& result = done.result;
    CURL* easy = connection.easy.get();
    uint32_t error = 0;
    std::string detail;
    Clock::time_point lastMoved = Clock::now();

    const std::string request = Http1Request(hop);
    for (size_t sent = 0; sent < request.size() && error == 0;) {
        size_t count = 0;
        const CURLcode code =
            curl_easy_send(easy, request.data() + sent, request.size() - sent, &count);
        if (code == CURLE_OK) {
            sent += count;
            lastMoved = Clock::now();
        } else if (code == CURLE_AGAIN) {
            error = Wait(connection.socket, POLLOUT, deadline, lastMoved, detail);
        } else {
            error = inet::ERROR_INTERNET_CONNECTION_ABORTED;
            detail = std::string("request not sent: ") + curl_easy_strerror(code);
        }
    }

    Http1ReplyReader reader;
    char buffer[16 * 1024];
    while (error == 0 && !reader.Complete()) {
        size_t count = 0;
        const CURLcode code = curl_easy_recv(easy, buffer, sizeof buffer, &count);
        if (code == CURLE_OK && count == 0) {
            reader.End();
        } else if (code == CURLE_OK) {
            done.bNothingReceived = false;
            lastMoved = Clock::now();
            reader.Feed(buffer, count);
        } else if (code == CURLE_AGAIN) {
            error = Wait(connection.socket, POLLIN, deadline, lastMoved, detail);
        } else {
            error = inet::ERROR_INTERNET_CONNECTION_ABORTED;
            detail = std::string("reply not received: ") + curl_easy_strerror(code);
        }
    }
    if (error != 0) detail = "error " + std::to_string(error) + " (" + detail + ")";

    if (reader.HasHead() && error != inet::ERROR_INTERNET_OPERATION_CANCELLED) {
        result.status = reader.Status();
        result.claimedLength = reader.ClaimedLength();
        result.strLocation = reader.Location();
        result.body = std::move(reader.Body());
        result.bodyError = error != 0 ? error : reader.Error();
        result.strBodyDetail = error != 0 ? detail : reader.ErrorDetail();
    } else if (error != 0 || reader.Error() != 0) {
        result.error = error != 0 ? error : reader.Error();
        result.strDetail = error != 0 ? detail : reader.ErrorDetail();
    }
    done.bKeep = error == 0 && reader.KeepsConnection();
    return done;
}

HttpHopResult CurlFace::Send(const HttpHop& hop) {
    HttpHopResult failed;
    if (m_cancel.IsCancelled() || !m_bStarted) {
        failed.error = m_bStarted ? inet::ERROR_INTERNET_OPERATION_CANCELLED
                                  : inet::ERROR_INTERNET_INTERNAL_ERROR;
        failed.strDetail = m_bStarted ? "cancelled" : "libcurl did not start";
        return failed;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(hop.remainingMs);
    const std::string key = ConnectionKey(hop, m_options.strTrustedCertificates);
    // A kept connection may have been closed by the server while it was idle: once nothing came
    // back over it, the request goes again over a new one.
    for (bool bFirst = true;; bFirst = false) {
        std::unique_ptr<CurlConnection> connection = bFirst ? m_pConnections->Take(key) : nullptr;
        const bool bKept = connection != nullptr;
        if (!connection) {
            connection = Connect(hop, deadline, failed);
            if (!connection) return failed;
        }
        const long failure = UnwaivedFailure(connection->checks, hop.securityFlags);
        if (failure != X509_V_OK) {
            // The request goes nowhere; the connection waits for the resend that waives it. The
            // failure is told as libcurl tells the handshake that it ends.
            failed.error = CertificateError(failure);
            failed.strDetail =
                "error " + std::to_string(failed.error) + " (libcurl " +
                std::to_string(CURLE_PEER_FAILED_VERIFICATION) +
                ": SSL certificate problem: " + X509_verify_cert_error_string(failure) +
                ") (X509 verify result " + std::to_string(failure) + ")";
            if (m_options.bRetriesCertificateErrors) m_pConnections->Keep(std::move(connection));
            return failed;
        }
        Exchanged exchanged = Exchange(*connection, hop, deadline);
        const uint32_t error = exchanged.result.error;
        if (bKept && exchanged.bNothingReceived && exchanged.result.status == 0 &&
            (error == 0 || error == inet::ERROR_INTERNET_CONNECTION_ABORTED)) {
            continue;
        }
        if (exchanged.bKeep) m_pConnections->Keep(std::move(connection));
        return std::move(exchanged.result);
    }
}

}  // namespace

std::unique_ptr<IHttpFace> CreateHttpFace(HttpCancel& cancel, const HttpClientOptions& options) {
    return std::make_unique<CurlFace>(cancel, options);
}
