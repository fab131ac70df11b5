// An account server on loopback for the login suite, whichever face the plug-in shows: natively
// the test starts one per test; under Wine with_servers.sh started one of each kind around the
// program (Wine cannot start native programs) and names their ports and logs.
#pragma once

#include <memory>
#include <string>

enum class ServerKind {
    kOtherName,      // a certificate for another host name
    kUnsized,        // a 20000-byte reply without a length, ended by closing
    kClaimsTooMuch,  // claims 4000000000 bytes after a short body
    kHangs,          // holds every request unanswered
};

struct LoginServer {
    // A server of that kind, with its certificate (when it makes one) in `workDir`; null with
    // the reason in `why` when this run has none.
    static std::unique_ptr<LoginServer> Find(ServerKind kind, const std::string& workDir,
                                             std::string& why);
    virtual ~LoginServer() = default;
    // Waits until the server's output has a line containing `text`; false if it never comes.
    virtual bool WaitForLine(const std::string& text) = 0;

    std::string base;  // "https://127.0.0.1:port"
    // The certificate the client may trust; empty when the system's store must decide.
    std::string trustedCertificate;
    // Whether the server sees a client leave a held request (WinINet under Wine keeps the
    // socket of a cancelled request in its pool).
    bool bSeesClientsLeave = true;
};
