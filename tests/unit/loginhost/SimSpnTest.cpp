#include "SimSpn.h"

#include <gtest/gtest.h>

#include <vector>

#include "ICheckDeviceType.h"
#include "platform/textcodec.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

TEST(SimSpn, DecodesEveryCodingOfTheName) {
    struct Case {
        const char* what;
        std::vector<uint8_t> name;
        const char* utf8;
    };
    const Case cases[] = {
        {"GSM, padded", Bytes({'C', 'M', 'C', 'C', 0xFF, 0xFF, 0xFF}), "CMCC"},
        {"GSM codes that differ from ASCII",
         Bytes({0x00, 0x02, 0x11, 0x01, 0x03, 0x24, 0x40, 0x5B, 0x7F, 0x60, 0x10, 0x1E}),
         "@$_\xC2\xA3\xC2\xA5\xC2\xA4\xC2\xA1\xC3\x84\xC3\xA0\xC2\xBF\xCE\x94\xC3\x9F"},
        {"GSM escape table",
         Bytes({0x1B, 0x65, 0x1B, 0x3C, 0x1B, 0x3E, 0x1B, 0x2F, 0x1B, 0x14, 0x1B, 0x40, 0x1B, 0x28,
                0x1B, 0x29, 0x1B, 0x3D}),
         "\xE2\x82\xAC[]\\^|{}~"},
        {"GSM escape of a code the table lacks shows the default character",
         Bytes({0x1B, 0x41, 'b'}), "Ab"},
        {"GSM escape at the end", Bytes({'a', 0x1B, 0xFF}), "a "},
        {"GSM byte with bit 8 set", Bytes({'a', 0x90, 'b'}), "a?b"},
        {"GSM, all padding", Bytes({0xFF, 0xFF}), ""},
        {"UCS2 0x80", Bytes({0x80, 0x4E, 0x2D, 0x56, 0xFD, 0x79, 0xFB, 0x52, 0xA8, 0xFF, 0xFF}),
         "\xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8"},
        {"UCS2 0x80, odd byte left", Bytes({0x80, 0x00, 0x41, 0x00}), "A"},
        {"UCS2 0x80, a lone surrogate", Bytes({0x80, 0xD8, 0x00, 0x00, 0x41}), "?A"},
        {"UCS2 0x81, base bits 15..8 shifted by 7",
         Bytes({0x81, 0x03, 0x9C, 0x80, 0x81, 0x41, 0xFF}),
         "\xE4\xB8\x80\xE4\xB8\x81"
         "A"},
        {"UCS2 0x81, GSM escape inside", Bytes({0x81, 0x03, 0x9C, 0x1B, 0x65, 0x80}),
         "\xE2\x82\xAC\xE4\xB8\x80"},
        {"UCS2 0x81, count beyond the name", Bytes({0x81, 0x10, 0x9C, 0x80}), "\xE4\xB8\x80"},
        {"UCS2 0x81, header cut", Bytes({0x81, 0x02}), ""},
        {"UCS2 0x82, 16-bit base", Bytes({0x82, 0x02, 0x4E, 0x00, 0xAD, 0x41}),
         "\xE4\xB8\xAD"
         "A"},
        {"UCS2 0x82, base overflows 16 bits", Bytes({0x82, 0x01, 0xFF, 0xF0, 0xFF}), "?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeSpnName(c.name.data(), c.name.size()), c.utf8) << c.what;
    }
}

TEST(SimSpn, GbkFitsTheBufferWithoutSplittingACharacter) {
    const std::string zhong = "\xE4\xB8\xAD";  // one character, two bytes in GBK
    std::string sixteen;
    for (int i = 0; i < 16; ++i) sixteen += zhong;
    struct Case {
        std::string utf8;
        size_t max;
        size_t bytes;
    };
    const Case cases[] = {
        {sixteen, MTS_SPN_BUFFER_SIZE - 1, 30},
        {"A" + sixteen, MTS_SPN_BUFFER_SIZE - 1, 31},
        {"AB" + sixteen, MTS_SPN_BUFFER_SIZE - 1, 30},
        {"ABC", 2, 2},
    };
    for (const Case& c : cases) {
        const std::string gbk = Utf8ToGbkWithin(c.utf8, c.max);
        EXPECT_EQ(gbk.size(), c.bytes) << c.utf8;
        EXPECT_EQ(GbkToUtf8(gbk), c.utf8.substr(0, GbkToUtf8(gbk).size()));
    }
    // A character GBK lacks (Thai) becomes '?'; GBK's own are converted.
    EXPECT_EQ(Utf8ToGbkWithin("\xE0\xB8\x81" + zhong, 31), "?\xD6\xD0");
}

TEST(SimSpn, TheFileSkipsItsDisplayCondition) {
    const auto file = Bytes({0x01, 0x80, 0x4E, 0x2D, 0x56, 0xFD, 0xFF, 0xFF});
    EXPECT_EQ(SpnFileToGbk(file.data(), file.size(), 31), "\xD6\xD0\xB9\xFA");
}

}  // namespace
