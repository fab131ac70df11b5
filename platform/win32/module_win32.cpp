#include <windows.h>

#include "platform/module.h"

namespace {

std::string SettleLibraryDirectory() {
    HMODULE hSelf = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&SettleLibraryDirectory), &hSelf)) {
        return {};
    }
    char buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(hSelf, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    const std::string path(buf, n);
    return path.substr(0, path.rfind('\\') + 1);
}

const std::string g_strLibraryDirectory = SettleLibraryDirectory();

}  // namespace

const std::string& GetLibraryDirectory() {
    return g_strLibraryDirectory;
}

std::string GetHostExecutablePath() {
    char buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(buf, n);
}

char PathSeparator() {
    return '\\';
}
