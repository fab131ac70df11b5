#include "TestEnv.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>

std::string MakeTempDir(const std::string& prefix) {
    namespace fs = std::filesystem;
    std::random_device device;
    std::mt19937_64 random(
        device() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) return dir.string();
    }
    throw std::runtime_error("cannot make a temporary directory for " + prefix);
}

unsigned FileMode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}
