#include <windows.h>
// After windows.h.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <vector>

#include "platform/own_file.h"

namespace {

// The token's user, or the owner it gives to what it creates (an elevated administrator's files
// belong to the Administrators group).
bool IsOwnSid(PSID owner) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    bool own = false;
    for (TOKEN_INFORMATION_CLASS cls : {TokenUser, TokenOwner}) {
        DWORD needed = 0;
        GetTokenInformation(token, cls, nullptr, 0, &needed);
        if (needed == 0) continue;
        std::vector<BYTE> buffer(needed);
        if (!GetTokenInformation(token, cls, buffer.data(), needed, &needed)) continue;
        PSID sid = cls == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                    : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        if (EqualSid(owner, sid)) own = true;
    }
    CloseHandle(token);
    return own;
}

bool IsOwnFile(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool own = owner && IsOwnSid(owner);
    LocalFree(descriptor);
    return own;
}

}  // namespace

// The file takes the access list of its directory, as the key file and the registry do.
std::FILE* OpenOwnFileForAppend(const std::string& path, uint64_t& size) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which the checks below then refuse.
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE | READ_CONTROL,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks != 1 || !IsOwnFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "ab");
    if (!file) {
        _close(fd);
        return nullptr;
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return file;
}

bool OwnFileStillAt(std::FILE* file, const std::string& /*path*/, uint64_t& size) {
    // An open file cannot be renamed here (it is not shared for deletion): only its length can
    // have changed.
    struct _stati64 st {};
    if (_fstati64(_fileno(file), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
