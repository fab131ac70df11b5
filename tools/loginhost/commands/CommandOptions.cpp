// What the commands share: their common options and the loading of a profile.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "HostProfile.h"

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

bool LoadProfile(const std::string& dir, HostProfile& profile) {
    std::string error;
    if (profile.Load(dir, error)) return true;
    std::fprintf(stderr, "loginhost: %s\n", error.c_str());
    return false;
}
