// The client that the exchange drives, written once above the platform's face: its handles only
// record what the request is to be, the whole exchange runs at SendRequest (one hop after another
// as the redirects lead, within the send's deadline), and the queries and reads are answered from
// the reply that the last hop received.
#include <algorithm>
#include <chrono>
#include <map>
#include <variant>

#include "platform/https.h"
#include "platform/https_hop.h"
#include "platform/https_policy.h"

namespace {

struct Connection {
    HttpRoute route;
    std::string strServer;
    uint16_t port = 0;
};

struct Request {
    Connection connection;
    std::string strVerb;
    std::string strObject;
    uint32_t flags = 0;
    uint32_t securityFlags = 0;
    bool bSent = false;
    HttpHopResult reply;
    size_t readPos = 0;
};

using Object = std::variant<HttpRoute, Connection, Request>;
using Clock = std::chrono::steady_clock;

// Where the request itself goes, as the URL reader would have split it.
ParsedUrl TargetOf(const Request& request) {
    ParsedUrl target;
    const bool bSecure = (request.flags & inet::INTERNET_FLAG_SECURE) != 0;
    target.serviceType = bSecure ? inet::AFX_INET_SERVICE_HTTPS : inet::AFX_INET_SERVICE_HTTP;
    target.strServer = request.connection.strServer;
    target.port = request.connection.port != 0 ? request.connection.port : (bSecure ? 443 : 80);
    target.strObject = request.strObject.empty() ? "/" : request.strObject;
    if (target.strObject.front() != '/') target.strObject.insert(target.strObject.begin(), '/');
    return target;
}

std::string Detail(uint32_t error, const std::string& what) {
    return "error " + std::to_string(error) + " (" + what + ")";
}

class HttpClient final : public IHttpClient {
public:
    HttpClient(HttpCancel& cancel, const HttpClientOptions& options)
        : m_cancel(cancel), m_options(options), m_pFace(CreateHttpFace(cancel, options)) {}

    HttpHandle Open(const std::string& agent, uint32_t accessType,
                    const std::string& proxy) override {
        if (!Ready()) return {};
        HttpRoute route;
        route.strAgent = agent;
        route.accessType = accessType;
        if (accessType == inet::INTERNET_OPEN_TYPE_PROXY) route.strProxy = proxy;
        return Add(std::move(route));
    }

    HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                       uint16_t port) override {
        if (!Ready()) return {};
        auto* route = Find<HttpRoute>(internet);
        if (!route) return {};
        return Add(Connection{*route, server, port});
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
            request->connection.route.proxyUser = value;
        } else if (option == inet::INTERNET_OPTION_PROXY_PASSWORD) {
            request->connection.route.proxyPassword = value;
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
        const HttpHopResult& reply = request->reply;
        const size_t count = std::min<size_t>(size, reply.body.size() - request->readPos);
        std::copy_n(reply.body.data() + request->readPos, count, buffer);
        request->readPos += count;
        read = static_cast<uint32_t>(count);
        if (count < size && reply.bodyError != 0) return Fail(reply.bodyError, reply.strBodyDetail);
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

    // False, with the reason set, once the stop request came.
    bool Ready() {
        if (!m_cancel.IsCancelled()) return true;
        return Fail(inet::ERROR_INTERNET_OPERATION_CANCELLED, "cancelled");
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

    HttpCancel& m_cancel;
    const HttpClientOptions m_options;
    std::unique_ptr<IHttpFace> m_pFace;
    std::map<HttpHandle::Value, Object> m_objects;
    HttpHandle::Value m_nextValue = 1;
    uint32_t m_lastError = 0;
    std::string m_strLastErrorDetail;
};

bool HttpClient::SendRequest(const HttpHandle& handle, const std::string& headers,
                             const std::string& body) {
    if (!Ready()) return false;
    auto* request = Find<Request>(handle);
    if (!request) return false;
    request->bSent = false;
    request->reply = HttpHopResult();
    request->readPos = 0;

    // One deadline for the send, every redirect it follows and the reading of the reply.
    const HttpTimeouts& timeouts = m_options.timeouts;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeouts.TotalMs());
    const ParsedUrl origin = TargetOf(*request);
    HttpHop hop;
    hop.pRoute = &request->connection.route;
    hop.target = origin;
    hop.strVerb = request->strVerb;
    hop.pHeaders = &headers;
    hop.pBody = &body;
    hop.securityFlags = request->securityFlags;
    for (uint32_t redirects = 0;; ++redirects) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Fail(inet::ERROR_INTERNET_TIMEOUT,
                        Detail(inet::ERROR_INTERNET_TIMEOUT,
                               "no end within " + std::to_string(timeouts.TotalMs()) + " ms"));
        }
        hop.remainingMs = static_cast<uint32_t>(left.count());
        HttpHopResult result = m_pFace->Send(hop);
        if (m_cancel.IsCancelled()) {
            return Fail(inet::ERROR_INTERNET_OPERATION_CANCELLED, result.strDetail);
        }
        if (result.proxyConnectStatus >= 300) {
            // The proxy's answer to CONNECT, never the server's reply: nothing reached the
            // server. Its demand for credentials (407, without or with wrong ones) is a status
            // the caller reads and answers; any other refusal ends the request.
            const uint32_t refusal = result.proxyConnectStatus;
            if (refusal != inet::HTTP_STATUS_PROXY_AUTH_REQ) {
                return Fail(inet::ERROR_INTERNET_INVALID_PROXY_REQUEST,
                            Detail(inet::ERROR_INTERNET_INVALID_PROXY_REQUEST,
                                   "the proxy answered CONNECT with " + std::to_string(refusal)));
            }
            result = HttpHopResult();
            result.status = refusal;
            result.proxyConnectStatus = refusal;
        }
        if (result.error != 0) return Fail(result.error, result.strDetail);
        // No status line is no reply: the link broke (an empty reply would count as a login).
        if (result.status == 0) {
            return Fail(inet::ERROR_INTERNET_CONNECTION_ABORTED,
                        Detail(inet::ERROR_INTERNET_CONNECTION_ABORTED,
                               "connection closed without a reply"));
        }
        if (!IsRedirectStatus(result.status) || result.strLocation.empty()) {
            request->reply = std::move(result);
            request->bSent = true;
            return true;
        }
        const std::optional<ParsedUrl> next = ResolveUrl(result.strLocation, hop.target);
        if (!next || !RedirectAllowed(m_options.redirects, origin, *next)) {
            return Fail(inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
                        Detail(inet::ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
                               "redirect to " + result.strLocation + " refused"));
        }
        if (redirects == timeouts.maxRedirects) {
            return Fail(inet::ERROR_HTTP_REDIRECT_FAILED,
                        Detail(inet::ERROR_HTTP_REDIRECT_FAILED, "too many redirects"));
        }
        hop.strVerb = VerbAfterRedirect(result.status, hop.strVerb);
        if (hop.strVerb != request->strVerb) hop.pBody = nullptr;
        hop.target = *next;
    }
}

}  // namespace

std::unique_ptr<IHttpClient> CreateHttpClient(HttpCancel& cancel,
                                              const HttpClientOptions& options) {
    return std::make_unique<HttpClient>(cancel, options);
}
