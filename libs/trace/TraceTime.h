// The time stamp of a trace record: local time to the millisecond.
#pragma once

#include <cstdint>
#include <string>

// "YYYY-MM-DD hh:mm:ss.mmm" of a moment in milliseconds since 1970.
std::string TraceTimeStamp(int64_t msSinceEpoch);
