// The link benchmark's plug-in side on the WinINet face, under Wine: link_bench_wine.sh starts
// the account server and the fault proxy natively and the bare client beside it.
//
//   link_bench_wine BASE_URL CA_FILE COUNT_FILE
//
// prints, for the default mode, first start and restart, the network time and the connections
// and handshakes that the proxy counted. (Strict mode trusts only the system's store on this
// face, which knows no test server's issuer: it cannot log in here.)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "RegistrySandbox.h"
#include "TempDir.h"
#include "link_signin.h"

namespace {

std::string Counts(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: link_bench_wine BASE_URL CA_FILE COUNT_FILE\n");
        return 2;
    }
    const std::string base = argv[1];
    RegistrySandbox registry;
    registry.CreateKey("Software\\Mirolan\\Velko");
    int run = 0;
    for (const bool bStrict : {false}) {
        TempDir keys;
        const std::string keyDir = keys.WithSeparator() + std::to_string(++run) + "\\";
        std::filesystem::create_directories(keyDir);
        for (const char* phase : {"first start", "restart"}) {
            const std::string before = Counts(argv[3]);
            const double seconds = linkbench::SignIn(base, keyDir, bStrict, bStrict ? argv[2] : "");
            std::printf("%-7s %-12s plug-in %6.3f s  counts before: %s  after: %s\n",
                        bStrict ? "strict" : "default", phase, seconds, before.c_str(),
                        Counts(argv[3]).c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
