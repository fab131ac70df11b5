#include <windows.h>

#include <algorithm>

#include "platform/atomic_file.h"

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
    if (path.empty()) return false;
    const size_t cut = path.find_last_of("\\/");
    const std::string dir = cut == std::string::npos ? "." : path.substr(0, cut + 1);

    // A unique file in the same directory, so that the move stays on one volume. The prefix must
    // not make a device name: "lpt" with the unique numbers 1 to 9 gives "lpt1.tmp", a printer.
    char temp[MAX_PATH + 1] = {};
    if (GetTempFileNameA(dir.c_str(), "~af", 0, temp) == 0) return false;

    HANDLE file =
        CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(temp);
        return false;
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        ok = WriteFile(file, data.data() + done, chunk, &written, nullptr) != 0 && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file) != 0;
    ok = (CloseHandle(file) != 0) && ok;
    ok = ok &&
         MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileA(temp);
    return ok;
}

FileReadResult ReadFileContents(const std::string& path, std::string& data, size_t maxBytes,
                                FileLinks links, bool bCreate) {
    data.clear();
    if (path.empty()) return FileReadResult::Failed;
    // Sharing delete too, so that a writer's replace never fails on account of a reader.
    HANDLE file = CreateFileA(
        path.c_str(), GENERIC_READ | (bCreate ? GENERIC_WRITE : 0),
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        bCreate ? OPEN_ALWAYS : OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | (links == FileLinks::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
        nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? FileReadResult::Missing
                                                      : FileReadResult::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (links == FileLinks::Refuse && (!GetFileInformationByHandle(file, &info) ||
                                       (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(file);
        return FileReadResult::Failed;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return FileReadResult::Failed;
    }
    char buf[8192];
    bool ok = true;
    while (data.size() <= maxBytes) {
        DWORD got = 0;
        if (!ReadFile(file, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        data.append(buf, got);
    }
    CloseHandle(file);
    if (!ok) return FileReadResult::Failed;
    if (data.size() > maxBytes + 1) data.resize(maxBytes + 1);
    return FileReadResult::Ok;
}
