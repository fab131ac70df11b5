// The brand lookup by name on decoded text: name lists, lower-casing, order of the children.
// (The lookup by SIM type is tested through the skin switch.)
#include <gtest/gtest.h>

#include "BrandFixture.h"
#include "BrandTable.h"

namespace {

std::string Table(const std::string& cardtypes) {
    return "<main>" + cardtypes + "</main>";
}

TEST(BrandText, LowerCasingCommaListsAndSimTypeNumbers) {
    EXPECT_EQ(LowerGbk("CMCC Net-2"), "cmcc net-2");
    // A GBK trail byte is never lower-cased: 0x81 0x41 and 0x81 0x61 are different characters.
    EXPECT_EQ(LowerGbk("\x81\x41Z"), "\x81\x41z");
    EXPECT_EQ(LowerGbk("A\x81"), "a\x81");  // a lead byte at the very end is a plain byte
    EXPECT_EQ(SplitAtCommas("a, b,,c,"), (std::vector<std::string>{"a", " b", "", "c", ""}));
    EXPECT_EQ(SplitAtCommas(""), (std::vector<std::string>{""}));
    // Read as the C library reads numbers, clamped to 32 bits.
    EXPECT_EQ(SimTypeNumber("  +12abc"), 12);
    EXPECT_EQ(SimTypeNumber("\t-7"), -7);
    EXPECT_EQ(SimTypeNumber("99999999999"), 2147483647);
    EXPECT_EQ(SimTypeNumber("-99999999999"), -2147483647 - 1);
}

TEST(BrandByName, FindsTagAndSkinPath) {
    const std::string cmcc = "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF";  // GBK text
    struct Case {
        std::string table, name, tag, skin;
    } cases[] = {
        {Table(Card("x,abc", "3", "skins\\abc")), "ABC", "3", "skins\\abc"},
        {Table(Card("X,AbC", "3", "s")), "aBc", "3", "s"},
        // Items are not trimmed; a trailing comma gives an empty item.
        {Table(Card("x, abc", "3", "s")), "abc", "", ""},
        {Table(Card("x, abc", "3", "s")), " abc", "3", "s"},
        {Table(Card("abc,", "4", "s")), "", "4", "s"},
        {Table(Card("abc", "4", "s")), "", "", ""},
        // The first matching card type wins.
        {Table(Card("zzz", "1", "one") + Card("abc", "2", "two") + Card("q,abc", "3", "three")),
         "abc", "2", "two"},
        {Table("<cardtype><skinpath>sp</skinpath><name>abc</name><tag>9</tag></cardtype>"), "abc",
         "9", "sp"},
        // A match without a tag or skin path keeps what the record held.
        {Table("<cardtype><name>abc</name><skinpath>sp</skinpath></cardtype>"), "abc", "0", "sp"},
        {Table("<cardtype><name>abc</name><tag>5</tag></cardtype>"), "abc", "5", "old"},
        {"<?xml version=\"1.0\"?><!-- b --><main><other/><cardtype><tag>1</tag></cardtype>" +
             Card("abc", "2", "two") + "</main>",
         "abc", "2", "two"},
        {Table(Card("abc", "2", "two")), "xyz", "", ""},
        {"", "abc", "", ""},
        {"<main>", "abc", "", ""},
        {"<other><cardtype/></other>", "abc", "", ""},
        {Table(Card("x,\x81\x61," + cmcc, "7", "s")), cmcc, "7", "s"},
        {Table(Card("x,\x81\x61," + cmcc, "7", "s")), "\x81\x41", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table + " / " + c.name);
        SimCardInfo info;
        info.name = c.name;
        info.skinpath = "old";
        FindBrandByName(c.table, c.name, info);
        EXPECT_EQ(info.tag, c.tag);
        EXPECT_EQ(info.skinpath, c.skin);
        EXPECT_EQ(info.name, c.name);
    }
}

}  // namespace
