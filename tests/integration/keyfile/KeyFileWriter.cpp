// Writes passwords into a key file, one after another, for as long as it lives, and reports each
// number on its standard output once its write has returned.
//   keyfile_writer FILE FIRST
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "KeyStore.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    for (long n = std::atol(argv[2]);; ++n) {
        if (!KeyStore::Write(argv[1], "password-" + std::to_string(n))) return 1;
        const std::string line = std::to_string(n) + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) return 1;
    }
}
