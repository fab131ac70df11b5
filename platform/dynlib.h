// Loading a dynamic library and finding its exports (dlopen / LoadLibraryA).
#pragma once

#include <string>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // False with Error() set when the library cannot be loaded.
    bool Load(const std::string& path);
    void* Symbol(const char* name) const;
    void* Handle() const { return m_pHandle; }
    const std::string& Error() const { return m_strError; }
    // Leaves the library loaded for the rest of the process.
    void Keep() { m_pHandle = nullptr; }

private:
    void* m_pHandle = nullptr;
    std::string m_strError;
};

// The file name of a library named base on this platform: libbase.so or base.dll.
std::string LibraryFileName(const std::string& base);
