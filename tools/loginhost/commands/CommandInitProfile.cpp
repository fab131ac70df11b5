// loginhost init-profile DIR [--server URL]: the least profile that signs a SIM in, for a person
// to start from (the user service of watch names this command when its profile is missing).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Commands.h"
#include "HostProfile.h"

namespace fs = std::filesystem;

namespace {

// The account server's address as `account-server --port 8443` serves it on this machine.
constexpr char kDefaultServer[] = "https://127.0.0.1:8443";

}  // namespace

int CommandInitProfile(const Args& args) {
    std::string dir;
    std::string server = kDefaultServer;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--server" && i + 1 < args.size()) {
            server = args[++i];
        } else if (dir.empty() && args[i].rfind("--", 0) != 0) {
            dir = args[i];
        } else {
            dir.clear();
            break;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "usage: loginhost init-profile DIR [--server https://HOST:PORT]\n");
        return 2;
    }
    while (server.size() > 1 && server.back() == '/') server.pop_back();
    const fs::path system = fs::path(dir) / "system.ini";
    std::error_code ec;
    if (fs::exists(system, ec)) {  // a profile in use loses nothing
        std::fprintf(stderr, "loginhost: %s: already there; the profile is left as it is\n",
                     system.string().c_str());
        return 2;
    }
    fs::create_directories(fs::path(dir) / "keys", ec);
    std::ofstream out(system, std::ios::binary);
    out << "; Made by loginhost init-profile: the operator's server, and where the key file goes.\n"
        << "[LOGIN]\nURL=" << server << "/login\n"
        << "[REGISTER]\nURL=" << server << "/register\n"
        << "[CURRENT_USER_PRIVATE_DIR]\nPATH=keys/\n";
    out.close();
    HostProfile profile;
    if (ec || !out || !LoadProfile(dir, profile)) {
        std::fprintf(stderr, "loginhost: %s: cannot be written%s%s\n", system.string().c_str(),
                     ec ? ": " : "", ec ? ec.message().c_str() : "");
        return 2;
    }
    std::printf("profile %s: server %s (edit system.ini for another)\n", dir.c_str(),
                server.c_str());
    return 0;
}
