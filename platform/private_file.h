// A log file that only its owner may read: it can hold what the user typed or was given.
#pragma once

#include <cstdio>
#include <string>

// Opens path for appending in binary mode, creating it readable and writable by the user only;
// a file already there is made so too when the user owns it. Null when it cannot be opened.
std::FILE* OpenPrivateFileForAppend(const std::string& path);
