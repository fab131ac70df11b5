// The plug-in library's own module handle and the host program's location.
#pragma once

#include <string>

// Recorded by the library entry when the library is attached to the process.
void SetLibraryModuleHandle(void* hModule);
void* GetLibraryModuleHandle();

// Full path of the host executable (GetModuleFileNameA(NULL) / /proc/self/exe); empty on failure.
std::string GetHostExecutablePath();

// The separator after which a module path's directory is cut ('\\' on Windows, '/' elsewhere).
char PathSeparator();
