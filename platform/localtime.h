// Broken-down local time of a moment, safe to call from any thread.
#pragma once

#include <cstdint>
#include <ctime>

// False when the moment cannot be converted.
bool ToLocalTime(int64_t secondsSinceEpoch, std::tm& out);
