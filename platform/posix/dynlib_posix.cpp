#include <dlfcn.h>

#include "platform/dynlib.h"

DynamicLibrary::~DynamicLibrary() {
    if (m_pHandle) dlclose(m_pHandle);
}

bool DynamicLibrary::Load(const std::string& path) {
    m_pHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_pHandle) {
        const char* err = dlerror();
        m_strError = err ? err : "cannot load " + path;
        return false;
    }
    return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return m_pHandle ? dlsym(m_pHandle, name) : nullptr;
}

std::string LibraryFileName(const std::string& base) { return "lib" + base + ".so"; }
