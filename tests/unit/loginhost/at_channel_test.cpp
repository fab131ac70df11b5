#include "AtChannel.h"

#include <gtest/gtest.h>

#include "ModemCard.h"

namespace {

// The lines a device sends for one command, through to the code the plug-in is given.
TEST(AtChannel, LinesToReplyToDeviceError) {
    using F = AtReply::Final;
    struct Case {
        std::vector<std::string> lines;
        F final;
        int32_t error;  // DeviceErrorOf, for a reply that is not OK
        std::vector<std::string> info;
    };
    const Case cases[] = {
        {{"AT+CIMI", "", "^RSSI:17", "460001234567890", "+CREG: 1", "OK"},
         F::kOk,
         0,
         {"460001234567890"}},
        {{"RING", "+CME ERROR: 14"}, F::kCmeError, modem_error::kSimBusy, {}},
        {{"+CME ERROR: 10"}, F::kCmeError, modem_error::kNoSim, {}},
        {{"+CME ERROR: 515"}, F::kCmeError, 515, {}},
        {{"+CMS ERROR: 310"}, F::kCmeError, 310, {}},
        {{"+CME ERROR: SIM busy"}, F::kError, modem_error::kBadAnswer, {}},
        {{"ERROR"}, F::kError, modem_error::kBadAnswer, {}},
        {{"+CRSM: 144,0,\"00\"", "^BOOT:1,0", "+CGEV: ME DETACH"},
         F::kNoAnswer,
         modem_error::kNoAnswer,
         {"+CRSM: 144,0,\"00\""}},
    };
    for (const Case& c : cases) {
        AtReply reply;
        bool bFinal = false;
        for (const std::string& line : c.lines) {
            ASSERT_FALSE(bFinal) << "a line after the final result";
            bFinal = TakeLine(line, "AT+CIMI", reply);
        }
        EXPECT_EQ(bFinal, c.final != F::kNoAnswer) << c.lines.back();
        EXPECT_EQ(reply.final, c.final) << c.lines.back();
        EXPECT_EQ(reply.lines, c.info) << c.lines.back();
        if (c.final != F::kOk) {
            EXPECT_EQ(DeviceErrorOf(reply), c.error) << c.lines.back();
        }
    }
    AtReply gone;
    gone.final = F::kGone;
    EXPECT_EQ(DeviceErrorOf(gone), modem_error::kNoAnswer);
}

}  // namespace
