// Command line of the account server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class Framing {
    kLength,   // Content-Length
    kChunked,  // chunked transfer coding, no length
    kClose,    // no length: the reply ends when the connection closes
};

// Faults the server injects on request.
struct Faults {
    std::optional<int> loginCode;  // every login answered with this result code
    bool bLoginCodeOnce = false;   // ... only the first one
    std::optional<int> registerCode;
    int delayMs = 0;       // before each answer
    bool bNotXml = false;  // a reply that is not well-formed XML
    size_t padTo = 0;      // replies padded with a trailing comment to this many bytes
    Framing framing = Framing::kLength;
    bool bHang = false;           // requests are read and never answered
    bool bClose = false;          // connections are closed once a request is read
    std::string strRedirectTo;    // /register and /login answered with a 307 to this URL
    bool bRedirectSelf = false;   // ... with a 307 to their own path, for ever
    bool bCaptivePortal = false;  // ... with a 200 HTML sign-in page, no <result>
    bool bOverloaded = false;     // ... with a 503 and an empty body
    // Replies whose Content-Length claims this many bytes; the body sent is shorter, and then the
    // connection is closed (held instead with bHang).
    std::optional<uint64_t> claimLength;
};

struct ServerOptions {
    int port = 0;  // 0: any free port
    bool bPlain = false;
    std::string strCertFile;
    std::string strKeyFile;
    std::string strCertName = "localhost";
    bool bCertExpired = false;
    std::string strCertOut;  // where to write the certificate in use
    std::string strCaOut;    // a test CA signs the certificate; its own goes here (PEM)
    std::string strStateFile;
    size_t maxAccounts = 100000;  // registrations of new identities beyond it are refused
    bool bNoTickets = false;      // no TLS session tickets: the reply is the first record after the
                                  // request (a fault-injecting proxy relies on it)
    Faults faults;
};

// Nothing, with `error` set, on a usage error.
std::optional<ServerOptions> ParseOptions(int argc, char** argv, std::string& error);

extern const char kUsage[];
