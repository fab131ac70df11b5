#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/atomic_file.h"

namespace {

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename itself must reach the disk too, or a crash could bring the old name back.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
    if (path.empty() || path.back() == '/') return false;
    const size_t slash = path.rfind('/');
    const std::string dir = DirectoryOf(path);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);

    // Hidden, and in the same directory so that the rename never crosses file systems.
    std::string pattern = dir + "/." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const std::string temp(name.data());

    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}

FileReadResult ReadFileContents(const std::string& path, std::string& data, size_t maxBytes,
                                FileLinks links, bool bCreate) {
    data.clear();
    if (path.empty()) return FileReadResult::Failed;
    // O_NONBLOCK: a FIFO put at the name must not hold the caller; fstat below refuses it.
    const int flags = (bCreate ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NONBLOCK |
                      (links == FileLinks::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        struct stat st {};
        const bool dirExists =
            errno == ENOENT && ::stat(DirectoryOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        return dirExists ? FileReadResult::Missing : FileReadResult::Failed;
    }
    struct stat st {};
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || status < 0 ||
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return FileReadResult::Failed;
    }
    // The size the file claims bounds the buffer; the reads bound what is taken.
    data.reserve(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), maxBytes) + 1);
    char buf[8192];
    while (data.size() <= maxBytes) {
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, maxBytes + 1 - data.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return FileReadResult::Failed;
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return FileReadResult::Ok;
}
