// The trace library: one shared tracer per log file, one line per record, safe from any thread.
#pragma once

#include <functional>
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
    explicit CNorvaTrace(std::string fileName);
    std::string m_strFileName;
    std::mutex m_mutex;
    std::FILE* m_pFile = nullptr;
    bool m_bOpenFailed = false;
    int m_nNextSink = 1;
    std::vector<std::pair<int, Sink>> m_sinks;
};
