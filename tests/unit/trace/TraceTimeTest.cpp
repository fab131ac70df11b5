// The time stamps of trace records, in local time.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "libs/trace/TraceTime.h"

namespace {

// Noon UTC on the 15th is the 14th, 15th or 16th of that month in every time zone, and every
// zone keeps the seconds.
TEST(TraceTimeTest, StampsHoldTheMonthTheSecondsAndTheMillisecondsAlsoPastTheYear2038) {
    struct Case {
        int64_t ms;
        const char* month;  // the stamp's first nine characters
        const char* tail;   // seconds and milliseconds
    };
    for (const Case& c : {Case{1689422400123, "2023-07-1", "00.123"},
                          // Past January 2038, where a 32-bit time_t ends.
                          Case{4119336000007, "2100-07-1", "00.007"}}) {
        const std::string stamp = TraceTimeStamp(c.ms);
        ASSERT_EQ(stamp.size(), 23u) << stamp;
        EXPECT_EQ(stamp.substr(0, 9), c.month) << stamp;
        EXPECT_EQ(stamp.substr(17), c.tail) << stamp;
    }
}

}  // namespace
