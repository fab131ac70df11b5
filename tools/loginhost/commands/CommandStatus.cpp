// loginhost status [--json]: where the running `loginhost watch` stands, read from its object on
// the session bus. Exit status 0 signed in, 1 not, 3 no watch running.
#include <gio/gio.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "Commands.h"
#include "HostReport.h"
#include "LoginStates.h"
#include "WatchBus.h"

namespace {

constexpr int kNoWatch = 3;

std::string StringOf(GVariant* all, const char* name) {
    const char* text = nullptr;
    return g_variant_lookup(all, name, "&s", &text) ? text : "";
}

std::string TimeText(uint64_t unix) {
    if (unix == 0) return "none yet";
    const time_t t = static_cast<time_t>(unix);
    struct tm local {};
    char text[64];
    localtime_r(&t, &local);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

int CommandStatus(const Args& args) {
    const bool bJson = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !bJson) {
        std::fprintf(stderr, "usage: loginhost status [--json]\n");
        return 2;
    }
    GError* pError = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &pError);
    GVariant* reply =
        bus ? g_dbus_connection_call_sync(
                  bus, kWatchBusName, kWatchBusPath, "org.freedesktop.DBus.Properties", "GetAll",
                  g_variant_new("(s)", kWatchBusInterface), G_VARIANT_TYPE("(a{sv})"),
                  G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, &pError)
            : nullptr;
    if (bus) g_object_unref(bus);
    if (!reply) {
        std::fprintf(stderr, "loginhost: no watch running on the session bus (%s)\n",
                     pError->message);
        g_error_free(pError);
        return kNoWatch;
    }
    GVariant* all = g_variant_get_child_value(reply, 0);
    int32_t code = 0;
    gboolean bLoggedIn = FALSE;
    guint64 lastAttempt = 0;
    guint32 attempts = 0;
    g_variant_lookup(all, "ErrorCode", "i", &code);
    g_variant_lookup(all, "LoggedIn", "b", &bLoggedIn);
    g_variant_lookup(all, "LastAttempt", "t", &lastAttempt);
    g_variant_lookup(all, "Attempts", "u", &attempts);
    const std::string state = StringOf(all, "State");
    const std::string modem = StringOf(all, "Modem");
    g_variant_unref(all);
    g_variant_unref(reply);
    if (bJson) {
        std::printf(
            "{\"state\":%s,\"error_code\":%d,\"logged_in\":%s,\"modem\":%s,"
            "\"last_attempt\":%llu,\"attempts\":%u}\n",
            JsonString(state).c_str(), code, bLoggedIn ? "true" : "false",
            JsonString(modem).c_str(), static_cast<unsigned long long>(lastAttempt), attempts);
    } else {
        const std::string meaning = LoginStateText(code);
        std::printf("state         %s\n", state.c_str());
        std::printf("logged in     %s\n", bLoggedIn ? "yes" : "no");
        std::printf("state code    %d%s\n", code,
                    meaning.empty() ? "" : (" (" + meaning + ")").c_str());
        std::printf("modem         %s\n", modem.empty() ? "none" : modem.c_str());
        std::printf("attempts      %u\n", attempts);
        std::printf("last attempt  %s\n", TimeText(lastAttempt).c_str());
    }
    return bLoggedIn ? 0 : 1;
}
