// loginhost watch: the plug-in served from the system bus (the modem and network services) until
// SIGINT or SIGTERM; see WatchService.h.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "Commands.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "WatchService.h"

namespace {

struct WatchOptions : HostOptions {
    std::string modemId;    // --modem: the equipment identifier of the modem to use
    std::string operators;  // --operators: brand names by operator identifier
    bool bNotify = true;    // --no-notify: no notices to the desktop
};

bool ParseWatchOptions(const Args& args, WatchOptions& options) {
    const OwnOption own = [&options](const Args& a, size_t& i, bool&) {
        if (a[i] == "--no-notify") {
            options.bNotify = false;
            return true;
        }
        if (i + 1 >= a.size()) return false;
        if (a[i] == "--modem") {
            options.modemId = a[++i];
            return true;
        }
        if (a[i] != "--operators") return false;
        options.operators = a[++i];
        return true;
    };
    return ParseHostOptions(args, options, {"--profile", "--plugin", "--json"}, "watch", own);
}

// Run as a service whose output goes to the journal: JOURNAL_STREAM names the stream as
// "device:inode", and it must be our standard output still (not one a parent had).
bool OutputIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat st {};
    if (!stream || fstat(fileno(stdout), &st) != 0) return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    return device == static_cast<unsigned long long>(st.st_dev) &&
           inode == static_cast<unsigned long long>(st.st_ino);
}

}  // namespace

int CommandWatch(const Args& args) {
    WatchOptions options;
    if (!ParseWatchOptions(args, options)) return 2;
    // A service started before its user made a profile says once how to make one (exit status 2
    // stops its restarts).
    struct stat st {};
    if (stat(options.profile.c_str(), &st) != 0) {
        std::fprintf(stderr,
                     "loginhost: %s: no profile there; make one with: loginhost init-profile %s "
                     "--server https://HOST:PORT\n",
                     options.profile.c_str(), options.profile.c_str());
        return 2;
    }
    HostProfile profile;
    if (!LoadProfile(options.profile, profile)) return 2;
    // The profile's table, and over it a table of the command line's.
    OperatorTable operators = profile.operators;
    OperatorTable given;
    std::string error;
    if (!options.operators.empty() && !LoadOperatorTable(options.operators, given, error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    for (const auto& entry : given) operators[entry.first] = entry.second;
    HostReport report;
    report.SetJson(options.bJson);
    report.SetJournal(OutputIsJournal());
    WatchService service(profile, report, options.modemId, std::move(operators), options.bNotify);
    return service.Run(options.PluginPath());
}
