// Temporary directories for tests, the same on Linux and under Wine.
#pragma once

#include <string>

// A new empty directory under the system's temporary directory; its path ends without a separator.
std::string MakeTempDir(const std::string& prefix);
// The permission bits of a file or directory; 01000 when there is none.
unsigned FileMode(const std::string& path);
