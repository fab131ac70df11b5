// Collects the trace records written while it lives, so that a test can assert them.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "NorvaTrace.h"
#include "Trace.h"

class TraceCapture {
public:
    TraceCapture() : m_pState(std::make_shared<State>()) {
        auto state = m_pState;
        m_nSink = CNorvaTrace::instance(NORVA_TRACE_FILE)->AddSink([state](const TraceRecord& r) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->records.push_back(r);
        });
    }
    ~TraceCapture() { CNorvaTrace::instance(NORVA_TRACE_FILE)->RemoveSink(m_nSink); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<TraceRecord> Records() const {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        return m_pState->records;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        m_pState->records.clear();
    }
    // Number of records with exactly this message (and level, when given).
    int Count(const std::string& message, int level = 0) const {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        return static_cast<int>(std::count_if(
            m_pState->records.begin(), m_pState->records.end(), [&](const TraceRecord& r) {
                return r.message == message && (level == 0 || r.level == level);
            }));
    }
    bool Has(const std::string& message, int level = 0) const { return Count(message, level) > 0; }
    // The first record with this message, or a record with level 0.
    TraceRecord Find(const std::string& message) const {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        for (const auto& r : m_pState->records)
            if (r.message == message) return r;
        return TraceRecord{0, {}, {}, 0, {}};
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<TraceRecord> records;
    };
    std::shared_ptr<State> m_pState;
    int m_nSink = 0;
};
