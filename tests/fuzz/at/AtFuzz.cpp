// What a modem sends, any bytes: the first byte sets the size of the pieces it arrives in. The
// lines are the same however the bytes are split, none holds a line end or passes the cap, and
// a reply's device error is always one of the host's codes, never a bare modem number.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../FuzzCheck.h"
#include "AtChannel.h"
#include "AtReplies.h"
#include "ModemCard.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes, size_t piece) {
    AtLineReader reader;
    std::vector<std::string> lines;
    for (size_t i = 0; i < bytes.size(); i += piece) {
        reader.Feed(bytes.substr(i, piece));
        for (std::string line; reader.Next(line);) lines.push_back(line);
    }
    return lines;
}

bool HostCode(int32_t code) {
    return code == modem_error::kSimBusy || code == modem_error::kNoAnswer ||
           (code >= modem_error::kDeviceError && code <= modem_error::kStopping);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = 1 + data[0] % 64;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> lines = Lines(bytes, piece);
    Check(lines == Lines(bytes, bytes.size() + 1));

    AtReply reply;
    bool bFinal = false;
    for (const std::string& line : lines) {
        Check(line.size() <= AtLineReader::kMaxLine);
        Check(line.find_first_of("\r\n") == std::string::npos);
        if (!bFinal) bFinal = TakeLine(line, "AT+CRSM=176,28486,0,0,17", reply);

        std::string text;
        if (ParseCpin(line, text)) Check(!text.empty());
        if (ParseImsi(line, text)) {
            Check(text.size() >= 6 && text.size() <= 15);
            Check(text.find_first_not_of("0123456789") == std::string::npos);
        }
        int sw1 = -1, sw2 = -1;
        if (ParseCrsm(line, sw1, sw2, text))
            Check(sw1 >= 0 && sw1 <= 255 && sw2 >= 0 && sw2 <= 255);
        const int cme = CmeNumberOfText(line);
        Check(cme >= -1 && cme <= 100);
    }
    Check(bFinal == (reply.final != AtReply::Final::kNoAnswer));
    if (reply.final != AtReply::Final::kOk) Check(HostCode(DeviceErrorOf(reply)));
    return 0;
}
