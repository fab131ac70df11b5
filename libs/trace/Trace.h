// The one trace call: every record names its level, the emitting component's module and source
// names (fixed texts, not __FILE__) and its line.
#pragma once

#include "NorvaTrace.h"

#define NORVA_TRACE_FILE "./norvamts_trace_0.log"

enum TraceLevel { TRACE_CRIT = 1, TRACE_ERRO = 2, TRACE_WARN = 3, TRACE_INFO = 4 };

// Where a file's records say they come from. Each file names its site once (kTrace) and every
// record of the file goes through it.
struct TraceSite {
    const char* module;
    const char* source;
};

#define TRACE_AT(site, level, message)      \
    CNorvaTrace::instance(NORVA_TRACE_FILE) \
        ->Traceout((level), (site).module, (site).source, __LINE__, (message))
