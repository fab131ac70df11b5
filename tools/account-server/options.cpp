#include "options.h"

#include <cstdlib>
#include <string_view>

const char kUsage[] =
    "usage: account-server [--port N] [--plain] [--cert FILE --key FILE] [--cert-name NAME]\n"
    "                      [--cert-expired] [--cert-out FILE] [--ca-out FILE] [--state FILE]\n"
    "                      [--max-accounts N]     (new identities beyond N are refused)\n"
    "                      [--login-code N [--login-code-once]] [--register-code N]\n"
    "                      [--delay-ms N] [--not-xml] [--pad-to BYTES]\n"
    "                      [--framing length|chunked|close] [--hang] [--close]\n"
    "                      [--redirect-to URL]    (/register and /login answer 307 to URL)\n"
    "                      [--redirect-self]      (... 307 to themselves)\n"
    "                      [--captive-portal]     (... 200 with an HTML page, no <result>)\n"
    "                      [--overloaded]         (... 503 with an empty body)\n"
    "                      [--no-tickets]         (no TLS session tickets)\n"
    "                      [--claim-length N]     (a reply that claims N bytes, sends fewer and\n"
    "                                              closes; with --hang it holds the connection)\n"
    "Serves POST /register (cid, ctype), POST /login (cid, pass, ctype) and POST /echo over\n"
    "HTTPS on 127.0.0.1 and prints \"port N\" once it listens. A request body of more than\n"
    "64 KiB is answered with 413 unread.\n";

namespace {

bool ParseNumber(std::string_view text, long low, long high, long& value) {
    std::string copy(text);
    char* end = nullptr;
    value = std::strtol(copy.c_str(), &end, 10);
    return !copy.empty() && *end == '\0' && value >= low && value <= high;
}

}  // namespace

std::optional<ServerOptions> ParseOptions(int argc, char** argv, std::string& error) {
    ServerOptions options;
    Faults& faults = options.faults;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](long low, long high, long& out) {
            std::string text;
            if (!value(text)) return false;
            if (!ParseNumber(text, low, high, out)) {
                error = std::string(arg) + ": bad number " + text;
                return false;
            }
            return true;
        };
        long n = 0;
        std::string text;
        if (arg == "--port") {
            if (!number(0, 65535, n)) return std::nullopt;
            options.port = static_cast<int>(n);
        } else if (arg == "--plain") {
            options.bPlain = true;
        } else if (arg == "--cert") {
            if (!value(options.strCertFile)) return std::nullopt;
        } else if (arg == "--key") {
            if (!value(options.strKeyFile)) return std::nullopt;
        } else if (arg == "--cert-name") {
            if (!value(options.strCertName)) return std::nullopt;
        } else if (arg == "--cert-expired") {
            options.bCertExpired = true;
        } else if (arg == "--cert-out") {
            if (!value(options.strCertOut)) return std::nullopt;
        } else if (arg == "--ca-out") {
            if (!value(options.strCaOut)) return std::nullopt;
        } else if (arg == "--state") {
            if (!value(options.strStateFile)) return std::nullopt;
        } else if (arg == "--max-accounts") {
            if (!number(1, 100000000, n)) return std::nullopt;
            options.maxAccounts = static_cast<size_t>(n);
        } else if (arg == "--login-code") {
            if (!number(-1000000, 1000000, n)) return std::nullopt;
            faults.loginCode = static_cast<int>(n);
        } else if (arg == "--login-code-once") {
            faults.bLoginCodeOnce = true;
        } else if (arg == "--register-code") {
            if (!number(-1000000, 1000000, n)) return std::nullopt;
            faults.registerCode = static_cast<int>(n);
        } else if (arg == "--delay-ms") {
            if (!number(0, 3600000, n)) return std::nullopt;
            faults.delayMs = static_cast<int>(n);
        } else if (arg == "--not-xml") {
            faults.bNotXml = true;
        } else if (arg == "--pad-to") {
            if (!number(0, 64L << 20, n)) return std::nullopt;
            faults.padTo = static_cast<size_t>(n);
        } else if (arg == "--framing") {
            if (!value(text)) return std::nullopt;
            if (text == "length") {
                faults.framing = Framing::kLength;
            } else if (text == "chunked") {
                faults.framing = Framing::kChunked;
            } else if (text == "close") {
                faults.framing = Framing::kClose;
            } else {
                error = "--framing: length, chunked or close, not " + text;
                return std::nullopt;
            }
        } else if (arg == "--hang") {
            faults.bHang = true;
        } else if (arg == "--close") {
            faults.bClose = true;
        } else if (arg == "--redirect-to") {
            if (!value(faults.strRedirectTo)) return std::nullopt;
        } else if (arg == "--no-tickets") {
            options.bNoTickets = true;
        } else if (arg == "--redirect-self") {
            faults.bRedirectSelf = true;
        } else if (arg == "--captive-portal") {
            faults.bCaptivePortal = true;
        } else if (arg == "--overloaded") {
            faults.bOverloaded = true;
        } else if (arg == "--claim-length") {
            if (!value(text)) return std::nullopt;
            char* end = nullptr;
            const unsigned long long claimed = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || text[0] == '-' || *end != '\0') {
                error = "--claim-length: bad number " + text;
                return std::nullopt;
            }
            faults.claimLength = claimed;
        } else {
            error = "unknown argument " + std::string(arg);
            return std::nullopt;
        }
    }
    if (options.strCertFile.empty() != options.strKeyFile.empty()) {
        error = "--cert and --key go together";
        return std::nullopt;
    }
    if (!options.strCaOut.empty() && (options.bPlain || !options.strCertFile.empty())) {
        error = "--ca-out makes the certificate: not with --plain or --cert";
        return std::nullopt;
    }
    if (faults.bLoginCodeOnce && !faults.loginCode) {
        error = "--login-code-once needs --login-code";
        return std::nullopt;
    }
    if (faults.bClose && options.bPlain) {
        error = "--close needs HTTPS";
        return std::nullopt;
    }
    return options;
}
