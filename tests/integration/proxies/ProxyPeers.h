// The account server and the squid proxies of the proxy suite, whichever face the plug-in shows:
// natively the test starts what it asks for; under Wine with_proxies.sh started one of each
// around the program (Wine cannot start native programs) and named their ports and logs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class ProxyKind {
    kOpen,      // no authentication
    kBasic,     // asks for Basic credentials
    kDigest,    // asks for Digest credentials
    kRefusing,  // answers every CONNECT with 403
};

// The users the authenticating proxies know (name, password), in the system code page (GBK).
// with_proxies.sh gives the Windows run's proxies the same.
constexpr char kProxyUser[] = "alice";
constexpr char kProxyPassword[] = "s3cret";
// 张三 and 密码 in GBK, with what URL and header syntax take apart: Basic cannot carry a colon
// in the user name, so only the password has one.
constexpr char kAwkwardUser[] = "\xD5\xC5\xC8\xFD a@b%41";
constexpr char kAwkwardPassword[] = "\xC3\xDC\xC2\xEB p:a@ss %41";
// The same in UTF-8, as Wine's WinINet puts Basic credentials on the wire (libcurl sends the
// bytes it is given): the proxies know both, as a proxy serving both kinds of client would.
constexpr char kAwkwardUserUtf8[] = "\xE5\xBC\xA0\xE4\xB8\x89 a@b%41";
constexpr char kAwkwardPasswordUtf8[] = "\xE5\xAF\x86\xE7\xA0\x81 p:a@ss %41";

class ProxyPeers {
public:
    // What this run offers; null with the reason in `why` when it has nothing.
    static std::unique_ptr<ProxyPeers> Make(const std::string& workDir, std::string& why);
    virtual ~ProxyPeers() = default;

    // "https://127.0.0.1:port" of the account server.
    virtual std::string ServerBase() = 0;
    // A proxy of that kind: its port and its access log (a native path). False with `why`.
    virtual bool Proxy(ProxyKind kind, uint16_t& port, std::string& accessLog,
                       std::string& why) = 0;
    // Whether the platform's client answers a Digest challenge (Wine's WinINet does not).
    static bool FaceAnswersDigest();
    // A loopback port nothing listens on.
    virtual uint16_t DownPort() = 0;
};
