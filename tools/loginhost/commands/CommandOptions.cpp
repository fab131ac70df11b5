// What the commands share: their common options and the loading of a profile.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "HostProfile.h"
#include "PluginSession.h"

namespace {

// Takes args[i] (and its value, moving i past it) when it is one of the shared options that
// `accepted` lists; false otherwise.
bool TakeHostOption(const Args& args, size_t& i, HostOptions& options,
                    const std::vector<std::string>& accepted) {
    const std::string& a = args[i];
    if (std::find(accepted.begin(), accepted.end(), a) == accepted.end()) return false;
    if (a == "--json") {
        options.bJson = true;
        return true;
    }
    if (i + 1 >= args.size()) return false;
    (a == "--profile" ? options.profile : options.plugin) = args[++i];
    return true;
}

}  // namespace

std::string HostOptions::PluginPath() const {
    return plugin.empty() ? DefaultPluginPath() : plugin;
}

bool ParseHostOptions(const Args& args, HostOptions& options,
                      const std::vector<std::string>& accepted, const char* needsProfile,
                      const OwnOption& own) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (TakeHostOption(args, i, options, accepted)) continue;
        bool bBad = false;
        if (own && own(args, i, bBad)) {
            if (bBad) return false;
            continue;
        }
        std::fprintf(stderr, "loginhost: unknown argument '%s'\n", args[i].c_str());
        return false;
    }
    if (needsProfile && options.profile.empty()) {
        std::fprintf(stderr, "loginhost %s: --profile DIR is required\n", needsProfile);
        return false;
    }
    return true;
}

bool LoadProfile(const std::string& dir, HostProfile& profile) {
    std::string error;
    if (profile.Load(dir, error)) return true;
    std::fprintf(stderr, "loginhost: %s\n", error.c_str());
    return false;
}
