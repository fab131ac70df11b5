// The one trace call of the plug-in: every record names its level, module, source file and line.
#pragma once

#include "NorvaTrace.h"

#define NORVA_TRACE_FILE "./norvamts_trace_0.log"

enum TraceLevel { TRACE_CRIT = 1, TRACE_ERRO = 2, TRACE_WARN = 3, TRACE_INFO = 4 };

// The module and source texts are the fixed names of the emitting component, not __FILE__.
#define NORVA_TRACE(level, module, source, message) \
    CNorvaTrace::instance(NORVA_TRACE_FILE)->Traceout((level), (module), (source), __LINE__, (message))
