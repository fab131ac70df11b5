#include "NorvaTrace.h"
#include "TraceTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "TraceFile.h"
#include "TracePath.h"
#include "TraceText.h"
#include "platform/localtime.h"

namespace {

// Tracers live for the whole process: a trace may come from any thread at any time, even while
// static objects are being destroyed, so they are never freed.
std::mutex& RegistryMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::map<std::string, CNorvaTrace*>& Registry() {
    static auto* r = new std::map<std::string, CNorvaTrace*>;
    return *r;
}

std::string TimeStamp() {
    using namespace std::chrono;
    return TraceTimeStamp(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

std::string TraceTimeStamp(int64_t msSinceEpoch) {
    const int64_t seconds = msSinceEpoch / 1000;
    const int ms = static_cast<int>(msSinceEpoch % 1000);
    std::tm tmLocal{};
    ToLocalTime(seconds, tmLocal);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tmLocal.tm_year + 1900,
                  tmLocal.tm_mon + 1, tmLocal.tm_mday, tmLocal.tm_hour, tmLocal.tm_min,
                  tmLocal.tm_sec, ms);
    return buf;
}

// The directory is read here, once per file: the first trace decides where the file lives.
CNorvaTrace::CNorvaTrace(const std::string& fileName)
    : m_pFile(std::make_unique<TraceFile>(TracePath(fileName))) {}

CNorvaTrace::~CNorvaTrace() = default;

CNorvaTrace* CNorvaTrace::instance(const std::string& fileName) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& registry = Registry();
    auto it = registry.find(fileName);
    if (it != registry.end()) return it->second;
    auto* tracer = new CNorvaTrace(fileName);
    registry.emplace(fileName, tracer);
    return tracer;
}

const char* CNorvaTrace::LevelName(int level) {
    switch (level) {
        case 1:
            return "CRIT";
        case 2:
            return "ERRO";
        case 3:
            return "WARN";
        case 4:
            return "INFO";
        default:
            return "????";
    }
}

void CNorvaTrace::Traceout(int level, const std::string& module, const std::string& source,
                           int line, const std::string& message) {
    std::ostringstream tid;
    tid << std::this_thread::get_id();
    // Module and source are fixed texts; escaping them too keeps every record one line whatever
    // a caller passes. The message is cut: it may carry what a server or the card sent.
    const std::string text = TimeStamp() + " [" + tid.str() + "] " + LevelName(level) + " " +
                             TraceSafeText(module, kTraceMessageBytes) + " " +
                             TraceSafeText(source, kTraceMessageBytes) + ":" +
                             std::to_string(line) + " " +
                             TraceSafeText(message, kTraceMessageBytes) + "\n";
    std::vector<std::pair<int, Sink>> sinks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pFile->Append(text);
        sinks = m_sinks;
    }
    // Sinks are called outside the lock so that a sink may trace or remove itself.
    if (!sinks.empty()) {
        const TraceRecord record{level, module, source, line, message};
        for (auto& entry : sinks) entry.second(record);
    }
}

int CNorvaTrace::AddSink(Sink sink) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int id = m_nNextSink++;
    m_sinks.emplace_back(id, std::move(sink));
    return id;
}

void CNorvaTrace::RemoveSink(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == id) {
            m_sinks.erase(it);
            return;
        }
    }
}
