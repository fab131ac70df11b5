#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/own_file.h"

std::FILE* OpenOwnFileForAppend(const std::string& path, uint64_t& size) {
    // O_NONBLOCK: a FIFO put at the name must not hold the caller; the checks below refuse it.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != ::geteuid()) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    // A file an earlier version left readable by others is narrowed.
    (void)::fchmod(fd, S_IRUSR | S_IWUSR);
    std::FILE* file = ::fdopen(fd, "ab");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    size = static_cast<uint64_t>(st.st_size);
    return file;
}

bool OwnFileStillAt(std::FILE* file, const std::string& path, uint64_t& size) {
    struct stat open {};
    struct stat named {};
    if (::fstat(::fileno(file), &open) != 0) return false;
    size = static_cast<uint64_t>(open.st_size);
    return open.st_nlink > 0 && ::lstat(path.c_str(), &named) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
