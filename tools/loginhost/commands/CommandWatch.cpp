// loginhost watch: the plug-in served from the system bus (the modem and network services) until
// SIGINT or SIGTERM; see WatchService.h.
#include <cstdio>

#include "Commands.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "PluginSession.h"
#include "WatchService.h"

namespace {

struct WatchOptions : HostOptions {
    std::string modemId;  // --modem: the equipment identifier of the modem to use
};

bool ParseWatchOptions(const Args& args, WatchOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (TakeHostOption(args, i, options, {"--profile", "--plugin", "--json"})) continue;
        if (a == "--modem" && i + 1 < args.size()) {
            options.modemId = args[++i];
        } else {
            std::fprintf(stderr, "loginhost: unknown argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (options.profile.empty()) {
        std::fprintf(stderr, "loginhost: watch needs --profile DIR\n");
        return false;
    }
    return true;
}

}  // namespace

int CommandWatch(const Args& args) {
    WatchOptions options;
    if (!ParseWatchOptions(args, options)) return 2;
    HostProfile profile;
    if (!LoadProfile(options.profile, profile)) return 2;
    HostReport report;
    report.SetJson(options.bJson);
    WatchService service(profile, report, options.modemId);
    return service.Run(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
}
