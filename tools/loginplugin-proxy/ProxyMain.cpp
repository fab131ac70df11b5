// loginplugin-proxy URL: the proxies the desktop names for URL, one URL a line, in libproxy's
// order ("direct://", "http://host:port", ...). The plug-in runs it for the browser's proxy on
// Linux, so that libproxy's modules (GLib, a JavaScript engine for PAC files) never enter the
// host's process. Exits 1 when libproxy gives no answer.
#include <proxy.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    pxProxyFactory* factory = px_proxy_factory_new();
    if (!factory) return 1;
    char** proxies = px_proxy_factory_get_proxies(factory, argv[1]);
    const int result = proxies ? 0 : 1;
    for (char** proxy = proxies; proxy && *proxy; ++proxy) std::printf("%s\n", *proxy);
    std::fflush(stdout);
    // Nothing is freed: freeing the factory unloads the PAC module's JavaScript engine, whose
    // exit hooks then crash the program on its way out. The process ends here.
    std::_Exit(result);
}
