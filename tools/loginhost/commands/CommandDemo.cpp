// loginhost demo: the whole road of a login on an embedded default. It starts the account server
// on a free loopback port, writes a fresh profile (and, on Linux, a registry store of its own)
// in a temporary directory, runs the host's start sequence, waits for the login and prints the
// results and the server's requests; then it stops the server and removes what it made.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "Commands.h"
#include "DemoPlatform.h"
#include "HostCrypt.h"
#include "HostProfile.h"
#include "HostReport.h"
#include "HostRunner.h"
#include "ICheckDeviceType.h"
#include "LoginSettings.h"
#include "PluginSession.h"
#include "platform/module.h"
#include "platform/textcodec.h"

namespace fs = std::filesystem;

namespace {

// A successful demo logs in within seconds; a broken one should not keep a newcomer waiting for
// the plug-in's 60-second retry.
constexpr double kLoginWaitSeconds = 30;
const char kDemoImsi[] = "460001234567890";
const char kDemoSpn[] = "DEMO";
// The brand table the demo puts beside the host when there is none: the SIM's brand, tag 3.
const char kDemoBrandTable[] =
    "<?xml version=\"1.0\" encoding=\"gbk\"?>\n"
    "<main>\n"
    "  <cardtype><name>DEMO,Demo Mobile</name><tag>3</tag><skinpath>skins\\demo</skinpath>"
    "</cardtype>\n"
    "</main>\n";

// Where the registry store under `root` keeps a key: a directory for each part of its path.
fs::path KeyDirectory(const fs::path& root, const std::string& key) {
    fs::path dir = root;
    size_t start = 0;
    while (start < key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        if (end > start) dir /= key.substr(start, end - start);
        start = end + 1;
    }
    return dir;
}

struct DemoOptions {
    bool bJson = false;
    int serverPort = 0;  // a server that already runs; 0: start one
};

bool ParseDemoOptions(const Args& args, DemoOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            options.bJson = true;
        } else if (args[i] == "--server-port" && i + 1 < args.size()) {
            int32_t port = 0;
            if (!ParseInt32(args[++i], port) || port <= 0 || port > 65535) {
                std::fprintf(stderr, "loginhost: --server-port takes a port, not '%s'\n",
                             args[i].c_str());
                return false;
            }
            options.serverPort = port;
        } else {
            std::fprintf(stderr, "loginhost: unknown argument '%s'\n", args[i].c_str());
            std::fprintf(stderr, "usage: loginhost demo [--json] [--server-port N]\n");
            return false;
        }
    }
    return true;
}

void Section(const std::string& title) {
    std::printf("\n==> %s\n", title.c_str());
}

std::string HostDir() {
    const std::string exe = GetHostExecutablePath();
    const size_t cut = exe.find_last_of(PathSeparator());
    return cut == std::string::npos ? std::string() : exe.substr(0, cut + 1);
}

fs::path MakeTempDir(std::string& error) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary directory: " + ec.message();
        return {};
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path dir = base / ("loginhost-demo-" + std::to_string(random() % 1000000));
        if (fs::create_directory(dir, ec)) return dir;
    }
    error = "cannot make a directory in " + base.string();
    return {};
}

bool WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

void ShowFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::printf("    %s:\n", path.filename().string().c_str());
    for (std::string line; std::getline(in, line);) std::printf("      %s\n", line.c_str());
}

// Puts the demo's encoded brand table beside the host unless a table is there already (the
// plug-in leaves an empty file where it found none). True when the demo wrote it.
bool InstallBrandTable(const std::string& hostDir) {
    const fs::path table = fs::path(hostDir) / LOGIN_BRAND_TABLE_FILE;
    std::error_code ec;
    if (fs::exists(table, ec) && fs::file_size(table, ec) > 0) return false;
    const std::string encoded =
        HostCrypt::EncodeBuffer(Utf8ToGbk(kDemoBrandTable), HostCrypt::DefaultWorkingKey());
    return !encoded.empty() && WriteFile(table, encoded);
}

// The server's request log, one "server" line a request.
void ShowServerLog(HostReport& report, const fs::path& log) {
    std::ifstream in(log, std::ios::binary);
    const std::string prefix = "account-server: ";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
        report.Line("server", line);
    }
}

}  // namespace

int CommandDemo(const Args& args) {
    DemoOptions options;
    if (!ParseDemoOptions(args, options)) return 2;
    HostReport report;
    std::printf(
        "loginhost demo: the login plug-in signs a SIM in to an account server on "
        "loopback\n");

    std::string error;
    if (options.serverPort == 0 && !ServerProcess::Supported(error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    const fs::path dir = MakeTempDir(error);
    if (dir.empty()) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        return 2;
    }
    const fs::path profileDir = dir / "profile";
    const fs::path keyDir = dir / "keys";
    const fs::path registry = dir / "registry";
    const fs::path serverLog = dir / "account-server.log";
    std::error_code ec;
    fs::create_directories(profileDir, ec);
    fs::create_directories(keyDir, ec);
    // The product's key, as its installer makes it: the default identity is kept under it.
    fs::create_directories(KeyDirectory(registry, LOGIN_REGISTRY_PRODUCT_KEY), ec);

    const std::string hostDir = HostDir();
    ServerProcess server;
    int port = options.serverPort;
    if (port == 0) {
        const char* named = std::getenv("LOGIN_ACCOUNT_SERVER");
        const std::string program =
            named && *named ? std::string(named) : hostDir + ServerProgramName();
        Section("account server: " + program + " --port 0");
        if (!server.Start(program, {"--port", "0"}, serverLog.string(), port, error)) {
            std::fprintf(stderr, "loginhost: %s\n", error.c_str());
            fs::remove_all(dir, ec);
            return 2;
        }
        std::printf("    listening on https://127.0.0.1:%d (a self-signed certificate)\n", port);
    } else {
        Section("account server: the one on port " + std::to_string(port));
    }

    const std::string base = "https://127.0.0.1:" + std::to_string(port);
    Section("a fresh profile in " + dir.string());
    std::string keyPath = keyDir.string();
    keyPath += PathSeparator();  // the plug-in appends "Key.dtc" to the directory as it stands
    WriteFile(profileDir / "system.ini",
              "[LOGIN]\nURL=" + base + "/login\n[REGISTER]\nURL=" + base +
                  "/register\n[CURRENT_USER_PRIVATE_DIR]\nPATH=" + keyPath + "\n");
    WriteFile(profileDir / "card.ini",
              std::string("[card]\nimsi=") + kDemoImsi + "\nspn=" + kDemoSpn + "\n");
    ShowFile(profileDir / "system.ini");
    ShowFile(profileDir / "card.ini");
    if (IsolateRegistry(registry.string())) {
        std::printf("    registry store: %s\n", registry.string().c_str());
    }
    const bool bOwnTable = InstallBrandTable(hostDir);
    if (bOwnTable)
        std::printf("    brand table: %s%s (DEMO is tag 3)\n", hostDir.c_str(),
                    LOGIN_BRAND_TABLE_FILE);

    HostProfile profile;
    const fs::path home = fs::current_path(ec);
    LoginOutcome outcome;
    double loginSeconds = 0;
    if (!profile.Load(profileDir.string(), error)) {
        std::fprintf(stderr, "loginhost: %s\n", error.c_str());
    } else {
        // The plug-in writes its trace file into the current directory.
        fs::current_path(dir, ec);
        HostRunner runner(profile, report);
        // Ctrl-C reaches the server too, which stops; the demo still cleans up.
        HostRunner::CatchInterrupt();
        Section("the host's start sequence");
        if (!runner.Start(DefaultPluginPath(), error)) {
            std::fprintf(stderr, "loginhost: %s\n", error.c_str());
        } else {
            runner.Identify();
            if (runner.QueryLogin()) {
                runner.SendDeviceEvent(DEVICE_EVENT_AVAILABLE);
                Section("the login");
                const double start = runner.Elapsed();
                runner.StartLogin();
                runner.WaitLogin(kLoginWaitSeconds);
                loginSeconds = runner.Elapsed() - start;
                Section("the results (interfaces 3 and 2)");
                outcome = runner.Outcome();
                report.Outcome(outcome);
            }
            Section("shutdown");
            runner.Shutdown();
        }
        fs::current_path(home, ec);
    }
    if (port != options.serverPort) {
        server.Stop();
        Section("what the account server received");
        ShowServerLog(report, serverLog);
    }
    if (bOwnTable) fs::remove(fs::path(hostDir) / LOGIN_BRAND_TABLE_FILE, ec);

    std::printf("\n");
    if (outcome.bLogin) {
        fs::remove_all(dir, ec);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", loginSeconds);
        report.Line("demo", "logged in as " + outcome.imsi + " in " + seconds + " s");
    } else {
        report.Line("demo",
                    "the login did not succeed; the profile and the plug-in's trace are "
                    "kept in " +
                        dir.string());
    }
    if (options.bJson) std::printf("%s\n", OutcomeJson(outcome).c_str());
    return outcome.bLogin ? 0 : 1;
}
