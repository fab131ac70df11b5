#include "platform/localtime.h"

// The 64-bit conversion by name: on i686 the C library's time_t is 32 bits wide and would end
// in January 2038.
bool ToLocalTime(int64_t secondsSinceEpoch, std::tm& out) {
    const __time64_t t = secondsSinceEpoch;
    return _localtime64_s(&out, &t) == 0;
}
