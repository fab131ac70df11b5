// Where a trace file lives. A host names the directory in the environment variable
// LOGINPLUGIN_TRACE_DIR; without it a relative name stays relative to the current directory.
#pragma once

#include <cstdlib>
#include <string>

#define TRACE_DIR_VARIABLE "LOGINPLUGIN_TRACE_DIR"

// name placed in dir when name is relative ("./x.log", "x.log") and dir is not empty.
inline std::string TracePathIn(const std::string& dir, const std::string& name) {
    const bool absolute =
        !name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'));
    if (dir.empty() || absolute) return name;
    std::string base = name;
    if (base.rfind("./", 0) == 0 || base.rfind(".\\", 0) == 0) base.erase(0, 2);
    const char last = dir.back();
    return (last == '/' || last == '\\') ? dir + base : dir + "/" + base;
}

// The path of a trace file as the trace library writes it, with the directory the environment
// names now. The library reads the variable once, when it first writes to that file.
inline std::string TracePath(const std::string& name) {
    const char* dir = std::getenv(TRACE_DIR_VARIABLE);
    return TracePathIn(dir ? dir : "", name);
}
