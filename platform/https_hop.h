// Between the shared HTTPS client (platform/https_client.cpp) and the platform's face beneath it
// (posix/https_curl.cpp, win32/https_wininet.cpp): one hop is one request on the wire and the
// reply it got, no redirect followed. The face makes the connection, the TLS handshake with the
// checks asked for and the proxy's tunnel, and reports what happened in WinINet's numbers; every
// decision about the reply is the shared client's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/https.h"
#include "platform/url.h"

// How a hop reaches its server: the same route for every hop of one request.
struct HttpRoute {
    std::string strAgent;
    uint32_t accessType = inet::INTERNET_OPEN_TYPE_DIRECT;
    std::string strProxy;  // "host:port" with INTERNET_OPEN_TYPE_PROXY
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
};

struct HttpHop {
    const HttpRoute* pRoute = nullptr;
    ParsedUrl target;  // https: or http:
    std::string strVerb;
    const std::string* pHeaders = nullptr;  // "Name: value\r\n" lines
    const std::string* pBody = nullptr;     // none: a request without a body
    uint32_t securityFlags = 0;             // INTERNET_OPTION_SECURITY_FLAGS: the checks waived
    // What is left of the send's deadline, for this hop and the reading of its reply.
    uint32_t remainingMs = 0;
};

struct HttpHopResult {
    // Not 0: the hop ended before a reply's head had arrived, with this WinINet error number.
    uint32_t error = 0;
    std::string strDetail;  // the face's own code and message, for traces
    uint32_t status = 0;
    // The proxy answered the tunnel's CONNECT with this status rather than open the tunnel (0:
    // no proxy, or it tunnelled); the reply is then the proxy's.
    uint32_t proxyConnectStatus = 0;
    std::optional<uint64_t> claimedLength;  // the Content-Length, even past 32 bits
    std::string strLocation;                // a redirect's address, as the reply gave it
    std::string body;                       // never more than kMaxHttpReplyBytes
    // Not 0: the reply broke (or was refused) after its head; reading past `body` fails so.
    uint32_t bodyError = 0;
    std::string strBodyDetail;
};

class IHttpFace {
public:
    virtual ~IHttpFace() = default;
    // Blocks until the reply has been read whole, has failed, or the stop request came (then
    // ERROR_INTERNET_OPERATION_CANCELLED).
    virtual HttpHopResult Send(const HttpHop& hop) = 0;
};

// The platform's face; `cancel` must outlive it.
std::unique_ptr<IHttpFace> CreateHttpFace(HttpCancel& cancel, const HttpClientOptions& options);
