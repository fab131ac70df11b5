#include "platform/private_file.h"

// The file takes the access list of its directory, as the key file and the registry do.
std::FILE* OpenPrivateFileForAppend(const std::string& path) {
    return std::fopen(path.c_str(), "ab");
}
