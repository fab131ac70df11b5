// loginhost run: what a host does at start, then a clean shutdown.
#include <cstdio>

#include "Commands.h"
#include "HostContainer.h"
#include "PluginSession.h"
#include "platform/textcodec.h"

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
    const std::string path = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
    PluginSession session;
    if (!session.Load(path)) {
        std::fprintf(stderr, "loginhost: %s\n", session.Error().c_str());
        return 2;
    }
    HostContainer container;
    IBasePlugin* plugin = session.Plugin();
    plugin->SetPluginContainer(&container);
    plugin->Initialize();
    std::printf("plugin   %s\n", path.c_str());
    std::printf("id       %s\n", plugin->GetPluginID());
    std::printf("name     %s\n", GbkToUtf8(plugin->GetPluginName()).c_str());
    std::printf("type     %u\n", static_cast<unsigned>(plugin->GetPluginType()));
    std::printf("version  0x%04X\n", static_cast<unsigned>(plugin->GetPluginVersion()));
    std::printf("available %s\n", plugin->IsAvailable() ? "yes" : "no");
    session.Shutdown();
    return 0;
}
