// Synchronous HTTP(S) requests in the shape of the WinINet calls the exchange makes: open,
// connect, open a request, send (again after setting options), query the status and length,
// read, close. Written once (https_client.cpp) above the platform's face (https_hop.h), which
// sends one hop with WinINet on Windows and libcurl with OpenSSL elsewhere; the redirects, the
// deadline and the reply bound are the shared client's. Failures are WinINet error numbers.
//
//   HttpCancel cancel;  // Cancel() from any thread stops it all
//   std::unique_ptr<IHttpClient> client = CreateHttpClient(cancel);
//   HttpHandle internet = client->Open(agent, inet::INTERNET_OPEN_TYPE_DIRECT, "");
//   HttpHandle connection = client->Connect(internet, server, port);
//   HttpHandle request =
//       client->OpenRequest(connection, "POST", object, inet::INTERNET_FLAG_SECURE);
//   if (!client->SendRequest(request, headers, body)) error = client->LastError();
//   client->QueryInfo(request, inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE,
//                     status);
//   client->Read(request, buffer, size, read);
//   // The handles close as they go: request, connection, internet.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// WinINet's numbers under WinINet's names. The names are macros in <wininet.h>: a file that
// includes both must include this header first and not use these names after <wininet.h>.
namespace inet {

// InternetOpen access types.
constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;  // the system's (libcurl: environment's)
constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr uint32_t INTERNET_OPEN_TYPE_PROXY = 3;

// HttpOpenRequest flags.
constexpr uint32_t INTERNET_FLAG_SECURE = 0x00800000;

// InternetSetOption options.
constexpr uint32_t INTERNET_OPTION_SECURITY_FLAGS = 31;  // 4-byte number
constexpr uint32_t INTERNET_OPTION_PROXY_USERNAME = 43;  // text
constexpr uint32_t INTERNET_OPTION_PROXY_PASSWORD = 44;  // text

// Values of INTERNET_OPTION_SECURITY_FLAGS: each relaxes one certificate check.
constexpr uint32_t SECURITY_FLAG_IGNORE_REVOCATION = 0x00000080;
constexpr uint32_t SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100;
constexpr uint32_t SECURITY_FLAG_IGNORE_WRONG_USAGE = 0x00000200;
constexpr uint32_t SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
constexpr uint32_t SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;

// HttpQueryInfo levels; only numeric queries are offered.
constexpr uint32_t HTTP_QUERY_FLAG_NUMBER = 0x20000000;
constexpr uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr uint32_t HTTP_QUERY_STATUS_CODE = 19;

constexpr uint32_t HTTP_STATUS_OK = 200;
constexpr uint32_t HTTP_STATUS_PROXY_AUTH_REQ = 407;

// Error numbers ("last error").
constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr uint32_t ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr uint32_t ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
constexpr uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
// The proxy refused the tunnel to the server (CONNECT answered with an error other than 407).
constexpr uint32_t ERROR_INTERNET_INVALID_PROXY_REQUEST = 12033;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr uint32_t ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040;
constexpr uint32_t ERROR_INTERNET_INVALID_CA = 12045;
constexpr uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr uint32_t ERROR_INTERNET_SEC_INVALID_CERT = 12169;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_REVOKED = 12170;
// A certificate not meant for server authentication (no name for it in older <wininet.h>).
constexpr uint32_t ERROR_INTERNET_SEC_CERT_WRONG_USAGE = 12179;

}  // namespace inet

// A stop request for the blocking calls of IHttpClient. Cancel() may come from any thread, any
// number of times, and cannot be undone: every call in progress or made later on a client that
// watches it fails with ERROR_INTERNET_OPERATION_CANCELLED.
class HttpCancel {
public:
    HttpCancel() = default;
    HttpCancel(const HttpCancel&) = delete;
    HttpCancel& operator=(const HttpCancel&) = delete;

    void Cancel();
    bool IsCancelled() const { return m_bCancelled.load(); }

    // For clients: while a Subscription lives, Cancel() runs its action (at once if already
    // cancelled). Ending a Subscription waits for a running action to return.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();

    private:
        friend class HttpCancel;
        Subscription(HttpCancel* pOwner, uint64_t nId) : m_pOwner(pOwner), m_nId(nId) {}
        HttpCancel* m_pOwner = nullptr;
        uint64_t m_nId = 0;
    };
    Subscription Subscribe(std::function<void()> action);

private:
    void Unsubscribe(uint64_t nId);

    std::atomic<bool> m_bCancelled{false};
    std::mutex m_mutex;  // held while the actions run
    std::map<uint64_t, std::function<void()>> m_actions;
    uint64_t m_nNextId = 1;
};

class IHttpClient;

// An internet, connection or request handle of an IHttpClient; closed when destroyed. Handles
// must not outlive their client.
class HttpHandle {
public:
    using Value = std::uintptr_t;

    HttpHandle() = default;
    HttpHandle(IHttpClient& owner, Value value) : m_pOwner(&owner), m_value(value) {}
    HttpHandle(HttpHandle&& other) noexcept;
    HttpHandle& operator=(HttpHandle&& other) noexcept;
    HttpHandle(const HttpHandle&) = delete;
    HttpHandle& operator=(const HttpHandle&) = delete;
    ~HttpHandle() { Close(); }

    explicit operator bool() const { return m_value != 0; }
    Value Get() const { return m_value; }
    // InternetCloseHandle now; nothing when empty.
    void Close();

private:
    IHttpClient* m_pOwner = nullptr;
    Value m_value = 0;
};

// One client serves one thread; only HttpCancel::Cancel() comes from others. Each call mirrors the
// WinINet call named; a failed call returns false or an empty handle and sets LastError().
class IHttpClient {
public:
    virtual ~IHttpClient() = default;

    // InternetOpenA(agent, accessType, proxy, no bypass list, synchronous). `proxy` is
    // "host:port" with INTERNET_OPEN_TYPE_PROXY and ignored otherwise.
    virtual HttpHandle Open(const std::string& agent, uint32_t accessType,
                            const std::string& proxy) = 0;
    // InternetConnectA(internet, server, port, no user or password, INTERNET_SERVICE_HTTP).
    virtual HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                               uint16_t port) = 0;
    // HttpOpenRequestA(connection, verb, object, no version, referrer or accept types, flags).
    virtual HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                                   const std::string& object, uint32_t flags) = 0;
    // HttpSendRequestA. Blocks until the reply's head has arrived. May be repeated on the same
    // request after setting options; each send replaces the reply of the one before. Redirects
    // are followed as the client's HttpRedirectPolicy allows; the reply is the last one's.
    virtual bool SendRequest(const HttpHandle& request, const std::string& headers,
                             const std::string& body) = 0;
    // InternetSetOptionA on a request with a 4-byte number (INTERNET_OPTION_SECURITY_FLAGS).
    virtual bool SetOption(const HttpHandle& request, uint32_t option, uint32_t value) = 0;
    // InternetSetOptionA on a request with a text and its length (INTERNET_OPTION_PROXY_USERNAME,
    // INTERNET_OPTION_PROXY_PASSWORD).
    virtual bool SetOption(const HttpHandle& request, uint32_t option,
                           const std::string& value) = 0;
    // HttpQueryInfoA with HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_STATUS_CODE or
    // | HTTP_QUERY_CONTENT_LENGTH. A reply without the header fails with
    // ERROR_HTTP_HEADER_NOT_FOUND.
    virtual bool QueryInfo(const HttpHandle& request, uint32_t infoLevel, uint32_t& value) = 0;
    // InternetReadFile: reads until `size` bytes are in `buffer` or the reply has ended (then
    // `read` < size; 0 at the end). Fails past kMaxHttpReplyBytes of the reply.
    virtual bool Read(const HttpHandle& request, char* buffer, uint32_t size, uint32_t& read) = 0;

    // The WinINet error number of the last failed call.
    virtual uint32_t LastError() const = 0;
    // What the layer underneath said about the last failure (its own code and message), for traces.
    virtual std::string LastErrorDetail() const = 0;

protected:
    friend class HttpHandle;
    // InternetCloseHandle. Closing a handle twice, or one the client never gave, does nothing.
    virtual void CloseHandle(HttpHandle::Value value) = 0;
};

// Which redirects a client follows. A redirect it does not follow fails the send with
// ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR before anything is sent to the new address.
enum class HttpRedirectPolicy {
    kHttpsOnly,      // any https: address (WinINet's own default)
    kSameHostHttps,  // an https: address on the same host name and port as the request
};

// The most bytes of one reply that a client keeps and that the exchange reads. The account
// server's replies are XML of a few hundred bytes; a reply beyond this is refused, never stored.
// Reading past it fails with ERROR_HTTP_INVALID_SERVER_RESPONSE, and so does reading a reply whose
// Content-Length claims more (the faces end such a reply at its head).
constexpr uint32_t kMaxHttpReplyBytes = 1u << 20;

// Whether a reply of `bytes` (read or claimed) is past kMaxHttpReplyBytes.
constexpr bool OverReplyBound(uint64_t bytes) {
    return bytes > kMaxHttpReplyBytes;
}

// How long a send may wait on the network, and how far it follows redirects. The defaults are
// WinINet's documented ones, so that both faces behave alike on a link that stalls: the WinINet
// face sets them explicitly, the libcurl one maps them onto its own options. The redirect limit
// and the deadline are the shared client's.
struct HttpTimeouts {
    uint32_t connectMs = 60000;  // TCP connect and TLS handshake
    uint32_t sendMs = 30000;     // the request going out
    uint32_t receiveMs = 30000;  // a stall: the reply makes no progress for this long
    uint32_t maxRedirects = 10;  // redirects one send follows; one more fails with 12156
    // No send and reading of its reply lasts longer than all three time-outs together, however
    // slowly the bytes keep coming; past it the call fails with ERROR_INTERNET_TIMEOUT.
    uint32_t TotalMs() const { return connectMs + sendMs + receiveMs; }
};

// What the clients of one login object keep between their requests: on WinINet the record of the
// certificates that failed (WinINet keeps the connections itself, for the process), on libcurl the
// connections, each with what its certificate checks found. A connection serves only a request
// to the same scheme, host and port over the same proxy with the same credentials and the same
// trust, and never one that must check what its handshake found wrong. A handful are kept, each
// for a short while; all go when the last holder lets go.
class HttpConnections;
std::shared_ptr<HttpConnections> CreateHttpConnections();

struct HttpClientOptions {
    // A PEM file of certificates to trust as issuers. Honoured by the libcurl client, where it
    // is then the only source of trust (the system's store and CA directory are not consulted);
    // WinINet uses the system's store only.
    std::string strTrustedCertificates;
    HttpRedirectPolicy redirects = HttpRedirectPolicy::kHttpsOnly;
    // The exchange resends a request refused for a certificate error with the checks waived
    // (the default mode). So a handshake whose certificate fails only checks that the security
    // flags can waive completes, and its connection waits for that resend; the request itself is
    // not sent over it, and its send fails with the certificate's error as before.
    bool bRetriesCertificateErrors = true;
    // Shared by the clients of one login object; none: each client keeps its own.
    std::shared_ptr<HttpConnections> connections;
    HttpTimeouts timeouts;
};

// The platform's client. `cancel` must outlive it.
std::unique_ptr<IHttpClient> CreateHttpClient(HttpCancel& cancel,
                                              const HttpClientOptions& options = {});
