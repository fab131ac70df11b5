// The account exchange: one form POST to the account server over the WinINet-shaped client of
// platform/https.h, one function per step (URL, open, connect, request, send with the
// certificate retry, proxy authentication, status, read), the user's proxy from the host's
// settings, and the stop request that ends an exchange in progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ProxyInfoImpl.h"
#include "SecurityPolicy.h"
#include "platform/https.h"

// What a post hands back: the HTTP status of the first answer and the reply text.
struct ServerReply {
    int32_t nStatus = 0;
    std::string strText;
};

// Makes the HTTPS client of one exchange, watching the given stop request.
using HttpClientFactory = std::function<std::unique_ptr<IHttpClient>(HttpCancel&)>;

class AccountExchange {
public:
    // `policy` is read at each send; a failure leaves its code in `error`; `stopping` (or
    // Cancel) ends the exchange before its next call reaches the network. A null factory gives
    // the platform's client.
    AccountExchange(IPluginContainer* pContainer, const SecurityPolicy& policy,
                    std::atomic<int32_t>& error, const std::atomic<bool>& stopping,
                    HttpClientFactory factory);
    AccountExchange(const AccountExchange&) = delete;
    AccountExchange& operator=(const AccountExchange&) = delete;

    // One POST; true with the reply, false (traced, code in `error`) on any failure.
    bool Post(const std::string& url, const std::string& headers, const std::string& body,
              const std::string& proxyAddress, const std::string& proxyPort, bool bSecure,
              ServerReply& reply);
    // A form post with the user's proxy (none when unreadable), secure only; traces a failure.
    bool PostForm(const std::string& url, const std::string& body, ServerReply& reply);
    // The user's proxy (empty when none is chosen), and the account it authenticates with.
    bool ProxyAddress(std::string& address, std::string& port);
    bool ProxyAccount(std::string& user, std::string& password);
    // Ends an exchange in progress and every later one.
    void Cancel() { m_cancel.Cancel(); }

private:
    struct Handles;
    std::unique_ptr<IHttpClient> MakeClient();
    void ThrowIfStopping();
    // Fails with the client's last error and the given trace.
    [[noreturn]] void Fail(const IHttpClient& client, const char* message);
    void Open(Handles& h, const std::string& url, const std::string& proxyAddress,
              const std::string& proxyPort, bool bSecure);
    void SendWithCertificateRetry(Handles& h, const std::string& headers, const std::string& body,
                                  bool bProxyAuthenticated);
    uint32_t QueryStatus(Handles& h);
    void AuthenticateToProxy(Handles& h, const std::string& headers, const std::string& body);
    std::string ReadText(Handles& h);

    std::unique_ptr<CProxyInfoImpl> m_pProxyInfo;
    const SecurityPolicy& m_policy;
    std::atomic<int32_t>& m_error;
    const std::atomic<bool>& m_bStopping;
    HttpClientFactory m_fnMakeClient;
    HttpCancel m_cancel;  // cancelled once, when the worker is asked to stop
    uint32_t m_nReplyBufSize = 10240;
};
