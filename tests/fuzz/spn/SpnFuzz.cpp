// The SIM's service-provider name file, any bytes: the decoded text is valid UTF-8, and the GBK
// handed to the plug-in fits the buffer and ends on a whole character.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SimSpn.h"
#include "../FuzzCheck.h"

namespace {

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (n == 0 || lead >= 0xF0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// GBK: a byte from 0x81 leads a pair whose second byte is 0x40 or above.
bool WholeGbk(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x81) continue;
        if (b == 0xFF || i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) < 0x40)
            return false;
        ++i;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Check(ValidUtf8(DecodeSpnName(data + 1, size - 1)));
    const size_t max = data[0] % 40;
    const std::string gbk = SpnFileToGbk(data, size, max);
    Check(gbk.size() <= max);
    Check(WholeGbk(gbk));
    return 0;
}
