#include "AtChannel.h"

#include <gtest/gtest.h>

#include "AtReplies.h"
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
        // Numeric mode: 0 is OK, 4 is ERROR.
        {{"+CIMI: 460001234567890", "0"}, F::kOk, 0, {"+CIMI: 460001234567890"}},
        {{"4"}, F::kError, modem_error::kBadAnswer, {}},
        {{"RING", "+CME ERROR: 14"}, F::kCmeError, modem_error::kSimBusy, {}},
        {{"+CME ERROR: 10"}, F::kCmeError, modem_error::kNoSim, {}},
        {{"+CME ERROR: 11"}, F::kCmeError, modem_error::kSimPin, {}},
        {{"+CME ERROR: 12"}, F::kCmeError, modem_error::kSimPuk, {}},
        {{"+CME ERROR: 13"}, F::kCmeError, modem_error::kSimFailure, {}},
        // The modem's other numbers are no server's result codes.
        {{"+CME ERROR: 3"}, F::kCmeError, modem_error::kDeviceError, {}},
        {{"+CMS ERROR: 310"}, F::kCmeError, modem_error::kDeviceError, {}},
        // Verbose errors by their names.
        {{"+CME ERROR: SIM busy"}, F::kCmeError, modem_error::kSimBusy, {}},
        {{"+CME ERROR: SIM not inserted"}, F::kCmeError, modem_error::kNoSim, {}},
        {{"+CME ERROR: sim pin required "}, F::kCmeError, modem_error::kSimPin, {}},
        {{"+CME ERROR: something odd"}, F::kCmeError, modem_error::kDeviceError, {}},
        {{"ERROR"}, F::kError, modem_error::kBadAnswer, {}},
        // Other modems' words of refusal and numbered errors: final, and device errors.
        {{"COMMAND NOT SUPPORT"}, F::kError, modem_error::kBadAnswer, {}},
        {{"NA"}, F::kError, modem_error::kBadAnswer, {}},
        {{"+CIMI: 4600", "NO CARRIER"}, F::kError, modem_error::kBadAnswer, {"+CIMI: 4600"}},
        {{"too many parameters"}, F::kError, modem_error::kBadAnswer, {}},
        {{"MODEM ERROR: 5"}, F::kCmeError, modem_error::kDeviceError, {}},
        // Only +CME ERROR numbers the SIM's states.
        {{"MODEM ERROR: 10"}, F::kCmeError, modem_error::kDeviceError, {}},
        {{"+CMS ERROR: 10"}, F::kCmeError, modem_error::kDeviceError, {}},
        {{"+EXT ERROR: 14"}, F::kCmeError, modem_error::kDeviceError, {}},
        {{"+CME ERROR: 100"}, F::kCmeError, modem_error::kDeviceError, {}},
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

std::vector<std::string> LinesOf(AtLineReader& reader, const std::vector<std::string>& pieces) {
    std::vector<std::string> lines;
    for (const std::string& piece : pieces) {
        reader.Feed(piece);
        for (std::string line; reader.Next(line);) lines.push_back(line);
    }
    return lines;
}

TEST(AtLineReader, SplitsWritesAndEndingsAndDropsOverlongLines) {
    AtLineReader reader;
    EXPECT_EQ(LinesOf(reader, {"\r\n+CI", "MI: 4600", "01\r", "\rOK", "\r"}),
              (std::vector<std::string>{"", "", "+CIMI: 460001", "", "OK"}));
    // A device streaming without line ends: the line is dropped, the next one is read.
    const std::string junk(AtLineReader::kMaxLine + 1, 'x');
    EXPECT_EQ(LinesOf(reader, {junk, junk, "tail\r\nOK\r\n"}),
              (std::vector<std::string>{"", "OK", ""}));
    const std::string longest(AtLineReader::kMaxLine, 'y');
    EXPECT_EQ(LinesOf(reader, {longest, "\r"}), std::vector<std::string>{longest});
}

// A reply fed as the device writes it: where it ends and how.
TEST(AtReplyReader, EndsAtAFinalResultOrTheBoundOrIsLeftForTheQuietTime) {
    using F = AtReply::Final;
    AtLimits limits;
    limits.maxLines = 4;
    limits.maxBytes = 64;
    struct Case {
        std::vector<std::string> writes;
        bool bEnded;  // by what was written
        F final;      // when not ended: after the quiet time
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"\r\n+CPIN: READY\r\n"}, false, F::kAnswered, {"+CPIN: READY"}},
        {{"\r\n+CPIN: READY\r\n", "\r\nOK\r\n"}, true, F::kOk, {"+CPIN: READY"}},
        {{"\r\n460001\r\n\r\nDONE\r\n"}, false, F::kAnswered, {"460001", "DONE"}},
        // Echo and unsolicited lines answer nothing: the command waits for its time-out.
        {{"AT+CPIN?\r", "\r\n^RSSI:17\r\n"}, false, F::kNoAnswer, {}},
        // A line not yet ended is no answer yet.
        {{"\r\n+CPIN: REA"}, false, F::kNoAnswer, {}},
        // The bound: lines that are not empty, every kind counted, and bytes.
        {{"AT+CPIN?\r^A\r\n\r\n\r\nC\r\nOK\r\n"}, true, F::kOk, {"C"}},
        {{"AT+CPIN?\r^A\r\n^B\r\nC\r\nD\r\n"}, true, F::kFlooded, {"C"}},
        {{std::string(60, '\r'), "OK\r"}, true, F::kOk, {}},
        {{std::string(60, '\r'), "\r\r\r\r\r"}, true, F::kFlooded, {}},
        {{std::string(65, 'x')}, true, F::kFlooded, {}},
    };
    for (const Case& c : cases) {
        AtReplyReader reader("AT+CPIN?", limits);
        bool bEnded = false;
        for (const std::string& bytes : c.writes) {
            ASSERT_FALSE(bEnded) << "bytes after the end";
            bEnded = reader.Feed(bytes);
        }
        const AtReply reply = bEnded ? reader.Reply() : reader.Unended();
        EXPECT_EQ(bEnded, c.bEnded) << c.writes.back();
        EXPECT_EQ(reply.final, c.final) << c.writes.back();
        EXPECT_EQ(reply.lines, c.lines) << c.writes.back();
    }
}

TEST(AtReplies, FormsOfRealModems) {
    std::string state;
    for (const char* line : {"+CPIN: READY", "+CPIN:READY", "+CPIN: \"READY\"", "+cpin: ready"}) {
        EXPECT_TRUE(ParseCpin(line, state)) << line;
        EXPECT_EQ(state, "READY") << line;
    }
    EXPECT_TRUE(ParseCpin("+CPIN: SIM PIN", state));
    EXPECT_EQ(state, "SIM PIN");
    EXPECT_FALSE(ParseCpin("+CPIN:", state));
    EXPECT_FALSE(ParseCpin("READY", state));

    std::string imsi;
    for (const char* line : {"460001234567890", "+CIMI: 460001234567890", "+CIMI:460001234567890",
                             "\"460001234567890\""}) {
        EXPECT_TRUE(ParseImsi(line, imsi)) << line;
        EXPECT_EQ(imsi, "460001234567890") << line;
    }
    for (const char* line : {"12345", "4600012345678901", "46000123456789A", "+CIMI: "}) {
        EXPECT_FALSE(ParseImsi(line, imsi)) << line;
    }

    int sw1 = 0, sw2 = 0;
    std::string data;
    EXPECT_TRUE(ParseCrsm("+CRSM: 144,0,\"0143\"", sw1, sw2, data));
    EXPECT_EQ(data, "0143");
    EXPECT_TRUE(ParseCrsm("+CRSM:145,2,0143 ", sw1, sw2, data));
    EXPECT_EQ(sw1, 145);
    EXPECT_EQ(sw2, 2);
    EXPECT_EQ(data, "0143");
    EXPECT_TRUE(ParseCrsm("+CRSM: 106,130", sw1, sw2, data));
    EXPECT_EQ(data, "");
    EXPECT_FALSE(ParseCrsm("+CRSM: 144", sw1, sw2, data));
    EXPECT_FALSE(ParseCrsm("+CRSM: 999,0", sw1, sw2, data));
    for (int ok : {0x90, 0x91, 0x92, 0x9F}) EXPECT_TRUE(CrsmSucceeded(ok)) << ok;
    for (int bad : {0x6A, 0x94, 0x98, 0x6F}) EXPECT_FALSE(CrsmSucceeded(bad)) << bad;
}

}  // namespace
