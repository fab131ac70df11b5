// The trace library: one shared tracer per log file, one line per record, safe from any thread.
// A record's message is cut at a few hundred bytes and its control characters escaped; the file
// is bounded and rotated (TraceFile.h); its directory may be named by the host (TracePath.h).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TraceRecord {
    int level;
    std::string module;
    std::string source;
    int line;
    std::string message;
};

class TraceFile;

class CNorvaTrace {
public:
    // The shared tracer of that log file; made on first use and kept for the life of the process.
    static CNorvaTrace* instance(const std::string& fileName);

    void Traceout(int level, const std::string& module, const std::string& source, int line,
                  const std::string& message);

    // Level names as they appear in the log: 1 CRIT, 2 ERRO, 3 WARN, 4 INFO.
    static const char* LevelName(int level);

    // Every record is also handed to the sinks (tests capture records this way).
    using Sink = std::function<void(const TraceRecord&)>;
    int AddSink(Sink sink);
    void RemoveSink(int id);

private:
    explicit CNorvaTrace(const std::string& fileName);
    ~CNorvaTrace();
    std::mutex m_mutex;
    std::unique_ptr<TraceFile> m_pFile;
    int m_nNextSink = 1;
    std::vector<std::pair<int, Sink>> m_sinks;
};
