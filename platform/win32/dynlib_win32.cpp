#include <windows.h>

#include "platform/dynlib.h"

DynamicLibrary::~DynamicLibrary() {
    if (m_pHandle) FreeLibrary(static_cast<HMODULE>(m_pHandle));
}

bool DynamicLibrary::Load(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        m_strError = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    m_pHandle = module;
    return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return m_pHandle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_pHandle), name))
                     : nullptr;
}

std::string LibraryFileName(const std::string& base) { return base + ".dll"; }
