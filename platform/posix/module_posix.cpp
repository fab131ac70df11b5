#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <memory>

#include "platform/module.h"

namespace {

std::string SettleLibraryDirectory() {
    Dl_info info{};
    link_map* pMap = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&SettleLibraryDirectory), &info,
                reinterpret_cast<void**>(&pMap), RTLD_DL_LINKMAP) == 0) {
        return {};
    }
    // The main program has no name of its own in the link map.
    const std::string file =
        pMap && pMap->l_name && *pMap->l_name ? pMap->l_name : GetHostExecutablePath();
    if (file.empty()) return {};
    std::unique_ptr<char, decltype(&free)> resolved(realpath(file.c_str(), nullptr), &free);
    if (!resolved) return {};
    const std::string path(resolved.get());
    return path.substr(0, path.rfind('/') + 1);
}

// Run while the file is being loaded: the working directory is still the one a relative load
// path was meant for.
const std::string g_strLibraryDirectory = SettleLibraryDirectory();

}  // namespace

const std::string& GetLibraryDirectory() {
    return g_strLibraryDirectory;
}

std::string GetHostExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

char PathSeparator() {
    return '/';
}
