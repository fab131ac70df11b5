// The proxy the system offers for a URL where the browser's own setting is absent. On Linux the
// desktop's answer as libproxy gives it (the environment with its no_proxy list, GNOME's
// settings, a PAC file or WPAD), asked in a helper program beside the library: libproxy's modules
// load GLib and a JavaScript engine, which stay out of the host's process. On Windows nothing is
// asked: the registry's value is the system's setting.
#pragma once

#include <string>
#include <vector>

struct SystemProxy {
    bool bAsked = false;  // the system was asked and answered
    std::string server;   // "host:port" of the proxy to use; empty: direct
    // Credentials carried in the proxy's URL, decoded; empty when it has none.
    std::string user;
    std::string password;
};

// What the system says for `url` (an absolute URL); bAsked false when there is no one to ask or
// the asking failed.
SystemProxy SystemProxyFor(const std::string& url);

// The answer a list of proxy URLs gives, in order of preference ("direct://",
// "http://user:pw@host:3128", "socks5://..."): the first that is direct or a plain HTTP proxy;
// other kinds are passed over, since the request can only go through an HTTP proxy. Direct
// when none of them is usable.
SystemProxy SystemProxyFromList(const std::vector<std::string>& urls);

// The helper program's name beside the library.
constexpr char kSystemProxyHelperName[] = "loginplugin-proxy";

// Tests only: run `program` in place of the helper beside the library; empty restores it. No
// environment names the program, so no caller's environment chooses what the plug-in runs.
void SetSystemProxyHelperForTest(const std::string& program);
