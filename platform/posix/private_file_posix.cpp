#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/private_file.h"

std::FILE* OpenPrivateFileForAppend(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    // A file an earlier version left readable by others is narrowed; another user's is left.
    (void)::fchmod(fd, S_IRUSR | S_IWUSR);
    std::FILE* file = ::fdopen(fd, "ab");
    if (!file) ::close(fd);
    return file;
}
