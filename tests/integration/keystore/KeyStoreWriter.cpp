// Prepares the key file of a directory as the login object does at its start, then writes
// passwords into it, one after another, for as long as it lives, and reports each number on its
// standard output once its write has returned.
//   keystore_writer DIR/ FIRST
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "FakeHost.h"
#include "KeyStore.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    FakeHost host;
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", argv[1]);
    const KeyStore store(&host.container);
    store.Create();
    const std::string keyFile = store.Path();
    for (long n = std::atol(argv[2]);; ++n) {
        if (!KeyStore::Write(keyFile, "password-" + std::to_string(n))) return 1;
        const std::string line = std::to_string(n) + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) return 1;
    }
}
