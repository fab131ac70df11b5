#include "platform/localtime.h"

bool ToLocalTime(int64_t secondsSinceEpoch, std::tm& out) {
    const auto t = static_cast<time_t>(secondsSinceEpoch);
    return localtime_s(&out, &t) == 0;
}
