// loginhost run: what a host does at start against a profile, then a clean shutdown.
#include <cstdio>

#include "Commands.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "HostRunner.h"
#include "ICheckDeviceType.h"
#include "PluginSession.h"

namespace {

struct RunOptions {
    std::string profile;
    std::string plugin;
};

bool ParseRunOptions(const Args& args, RunOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--profile" || a == "--plugin") && i + 1 < args.size()) {
            (a == "--profile" ? options.profile : options.plugin) = args[++i];
        } else {
            std::fprintf(stderr, "loginhost: unknown argument '%s'\n", a.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int CommandRun(const Args& args) {
    RunOptions options;
    if (!ParseRunOptions(args, options)) return 2;
    // Without a profile every service answers its defaults.
    HostProfile profile;
    std::string error;
    if (!options.profile.empty() && !profile.Load(options.profile, error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    HostReport report;
    HostRunner runner(profile, report);
    const std::string path = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
    if (!runner.Start(path, error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    runner.Identify();
    if (runner.QueryLogin()) runner.SendDeviceEvent(DEVICE_EVENT_AVAILABLE);
    runner.Shutdown();
    return 0;
}
