// The plug-in library's own module handle and the host program's location.
#pragma once

#include <string>

// Recorded by the library entry when the library is attached to the process.
void SetLibraryModuleHandle(void* hModule);
void* GetLibraryModuleHandle();

// The directory of the file this code was loaded from (the plug-in library, or the program it is
// linked into), with its trailing separator: an absolute path without links, settled once when the
// file was loaded, so that neither a relative load path nor a later change of the working
// directory can move it. Empty when it could not be settled.
const std::string& GetLibraryDirectory();

// Full path of the host executable (GetModuleFileNameA(NULL) / /proc/self/exe); empty on failure.
std::string GetHostExecutablePath();

// The separator after which a module path's directory is cut ('\\' on Windows, '/' elsewhere).
char PathSeparator();
