// Writes passwords into the key file of a directory, one after another, for as long as it lives,
// and reports each number on its standard output once its write has returned.
//   keyfile_writer DIR/ FIRST
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "ManualClock.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    FakeHost host;
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", argv[1]);
    LoginEnvironment env;
    env.clock = std::make_shared<ManualClock>();
    CLoginImpl login(&host.container, env);
    const std::string keyFile = login.GetKeyFile();
    for (long n = std::atol(argv[2]);; ++n) {
        if (!login.WritePwd(keyFile, "password-" + std::to_string(n))) return 1;
        const std::string line = std::to_string(n) + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) return 1;
    }
}
