// The account exchange: one form POST to the account server over the WinINet-shaped client of
// platform/https.h, one function per step (URL, open, connect, request, send with the
// certificate retry, proxy authentication, status, read), the user's proxy from the host's
// settings, and the stop request that ends an exchange in progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ProxyInfoImpl.h"
#include "SecurityPolicy.h"
#include "StepOutcome.h"
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
    // `policy` is read at each send; `stopping` (or Cancel) ends the exchange before its next
    // call reaches the network. A null factory gives the platform's client.
    AccountExchange(IPluginContainer* pContainer, const SecurityPolicy& policy,
                    const std::atomic<bool>& stopping, HttpClientFactory factory);
    AccountExchange(const AccountExchange&) = delete;
    AccountExchange& operator=(const AccountExchange&) = delete;

    // One POST: ok with the reply and the code 0; on any failure not ok (traced), with the
    // failure's code when one was found.
    StepOutcome Post(const std::string& url, const std::string& headers, const std::string& body,
                     const std::string& proxyAddress, const std::string& proxyPort, bool bSecure,
                     ServerReply& reply);
    // A form post with the user's proxy (none when unreadable), secure only; traces a failure.
    StepOutcome PostForm(const std::string& url, const std::string& body, ServerReply& reply);
    // The user's proxy (empty when none is chosen), and the account it authenticates with.
    bool ProxyAddress(std::string& address, std::string& port);
    bool ProxyAccount(std::string& user, std::string& password);
    // Ends an exchange in progress and every later one.
    void Cancel() { m_cancel.Cancel(); }

private:
    struct Handles;
    std::unique_ptr<IHttpClient> MakeClient();
    void ThrowIfStopping();
    // Ends the exchange with the given code.
    [[noreturn]] void FailWith(int32_t code);
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
    std::optional<int32_t> m_failure;  // the code of the exchange in progress, once it failed
    const std::atomic<bool>& m_bStopping;
    HttpClientFactory m_fnMakeClient;
    // What the platform's clients keep between the posts of this login object.
    std::shared_ptr<HttpConnections> m_pConnections = CreateHttpConnections();
    HttpCancel m_cancel;  // cancelled once, when the worker is asked to stop
    uint32_t m_nReplyBufSize = 10240;
};
