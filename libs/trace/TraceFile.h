// One trace file on disk, bounded: it is moved aside to "<path>.1" (replacing the older one) before
// a record would take it past its bound, so the two files together hold at most twice the bound.
// Several processes may write one file: each takes the file's length, and whether its name still
// holds it, before each record. It is only ever the user's own regular file (see
// platform/own_file.h); when the name holds anything else the records go nowhere. Not thread-safe: the tracer serialises its calls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint64_t kTraceFileBytes = uint64_t{1024} * 1024;

class TraceFile {
public:
    explicit TraceFile(std::string path) : m_strPath(std::move(path)) {}
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Appends one record (a whole line) and flushes it.
    void Append(const std::string& line);

private:
    bool Open();
    void Close();

    std::string m_strPath;
    std::FILE* m_pFile = nullptr;
    uint64_t m_nSize = 0;
    bool m_bRefused = false;  // the name was unusable once: nothing more is tried
};
