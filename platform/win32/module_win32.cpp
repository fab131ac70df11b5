#include <windows.h>

#include "platform/module.h"

std::string GetHostExecutablePath() {
    char buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(buf, n);
}

char PathSeparator() { return '\\'; }
