// The brand table lookups on decoded text: name lists, lower-casing, order of the children.
#include <gtest/gtest.h>

#include "BrandTable.h"

namespace {

std::string Table(const std::string& cardtypes) {
    return "<main>" + cardtypes + "</main>";
}

std::string Card(const std::string& name, const std::string& tag, const std::string& skin) {
    return "<cardtype><name>" + name + "</name><tag>" + tag + "</tag><skinpath>" + skin +
           "</skinpath></cardtype>";
}

// The lookup as the login object runs it, from a fresh record.
SimCardInfo ByName(const std::string& table, const std::string& name) {
    SimCardInfo info;
    info.name = name;
    FindBrandByName(table, name, info);
    return info;
}

TEST(BrandText, LowerCasesAsciiButLeavesDoubleByteCharactersWhole) {
    EXPECT_EQ(LowerGbk("CMCC Net-2"), "cmcc net-2");
    // 0x81 0x41 and 0x81 0x61 are two different GBK characters.
    EXPECT_EQ(LowerGbk("\x81\x41Z"), "\x81\x41z");
    EXPECT_NE(LowerGbk("\x81\x41"), LowerGbk("\x81\x61"));
    // A lead byte at the very end is a byte like any other.
    EXPECT_EQ(LowerGbk("A\x81"), "a\x81");
}

TEST(BrandText, SplitsAtEveryCommaKeepingEmptyAndUntrimmedItems) {
    EXPECT_EQ(SplitAtCommas("a, b,,c,"), (std::vector<std::string>{"a", " b", "", "c", ""}));
    EXPECT_EQ(SplitAtCommas(""), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitAtCommas("abc"), (std::vector<std::string>{"abc"}));
}

TEST(BrandText, SimTypeNumbersReadLikeTheCLibrary) {
    EXPECT_EQ(SimTypeNumber("3"), 3);
    EXPECT_EQ(SimTypeNumber("  +12abc"), 12);
    EXPECT_EQ(SimTypeNumber("\t-7"), -7);
    EXPECT_EQ(SimTypeNumber("x5"), 0);
    EXPECT_EQ(SimTypeNumber(""), 0);
    EXPECT_EQ(SimTypeNumber("99999999999"), 2147483647);
    EXPECT_EQ(SimTypeNumber("-99999999999"), -2147483647 - 1);
}

TEST(BrandByName, MatchesAnyItemOfTheListWhateverTheCase) {
    const std::string table = Table(Card("x,abc", "3", "skins\\abc"));
    const SimCardInfo info = ByName(table, "ABC");
    EXPECT_EQ(info.tag, "3");
    EXPECT_EQ(info.skinpath, "skins\\abc");
    EXPECT_EQ(info.name, "ABC");
    EXPECT_EQ(ByName(Table(Card("X,AbC", "3", "s")), "aBc").tag, "3");
}

TEST(BrandByName, ItemsAreNotTrimmed) {
    const SimCardInfo info = ByName(Table(Card("x, abc", "3", "s")), "abc");
    EXPECT_EQ(info.tag, "");
    EXPECT_EQ(info.skinpath, "");
    EXPECT_EQ(ByName(Table(Card("x, abc", "3", "s")), " abc").tag, "3");
}

TEST(BrandByName, ATrailingCommaMatchesAnEmptyName) {
    EXPECT_EQ(ByName(Table(Card("abc,", "4", "s")), "").tag, "4");
    EXPECT_EQ(ByName(Table(Card("abc", "4", "s")), "").tag, "");
}

TEST(BrandByName, TheFirstMatchingCardTypeWins) {
    const std::string table =
        Table(Card("zzz", "1", "one") + Card("abc", "2", "two") + Card("q,abc", "3", "three"));
    const SimCardInfo info = ByName(table, "abc");
    EXPECT_EQ(info.tag, "2");
    EXPECT_EQ(info.skinpath, "two");
}

TEST(BrandByName, TagAndSkinPathAreFoundInAnyOrder) {
    const std::string table =
        Table("<cardtype><skinpath>sp</skinpath><name>abc</name><tag>9</tag></cardtype>");
    const SimCardInfo info = ByName(table, "abc");
    EXPECT_EQ(info.tag, "9");
    EXPECT_EQ(info.skinpath, "sp");
}

TEST(BrandByName, AMatchWithoutTagOrSkinPathKeepsWhatWasThere) {
    const SimCardInfo noTag = ByName(Table("<cardtype><name>abc</name><skinpath>sp</skinpath>"
                                           "</cardtype>"),
                                     "abc");
    EXPECT_EQ(noTag.tag, "0");
    EXPECT_EQ(noTag.skinpath, "sp");
    const SimCardInfo noSkin =
        ByName(Table("<cardtype><name>abc</name><tag>5</tag></cardtype>"), "abc");
    EXPECT_EQ(noSkin.tag, "5");
    EXPECT_EQ(noSkin.skinpath, "");
}

TEST(BrandByName, CardTypesWithoutNameAndOtherElementsAreSkipped) {
    const std::string table =
        "<?xml version=\"1.0\"?><!-- brands --><main><other/>"
        "<cardtype><tag>1</tag></cardtype>" +
        Card("abc", "2", "two") + "</main>";
    EXPECT_EQ(ByName(table, "abc").tag, "2");
}

TEST(BrandByName, NoMatchOrNoTableClearsTagAndSkinPath) {
    EXPECT_EQ(ByName(Table(Card("abc", "2", "two")), "xyz").tag, "");
    for (const std::string bad : {"", "<main>", "<other><cardtype/></other>", "no xml"}) {
        const SimCardInfo info = ByName(bad, "abc");
        EXPECT_EQ(info.tag, "") << bad;
        EXPECT_EQ(info.skinpath, "") << bad;
    }
}

TEST(BrandByName, ChineseNamesCompareByTheirBytes) {
    // "中国移动" and a name differing only in the case of a second byte.
    const std::string cmcc = "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF";
    const std::string table = Table(Card("x,\x81\x61," + cmcc, "7", "skins\\cm"));
    EXPECT_EQ(ByName(table, cmcc).tag, "7");
    EXPECT_EQ(ByName(table, "\x81\x41").tag, "");
    EXPECT_EQ(ByName(table, "\x81\x61").tag, "7");
}

TEST(BrandBySimType, MatchesTheTagExactlyWithChildrenInOrder) {
    const std::string table = Table(Card("a,b", "5", "s5") + Card("c", "6", "s6"));
    SimCardInfo info;
    ASSERT_TRUE(FindBrandBySimType(table, "6", info));
    EXPECT_EQ(info.tag, "6");
    EXPECT_EQ(info.name, "c");
    EXPECT_EQ(info.skinpath, "s6");
    ASSERT_TRUE(FindBrandBySimType(table, "5", info));
    EXPECT_EQ(info.name, "a,b");
    EXPECT_FALSE(FindBrandBySimType(table, "05", info));
    EXPECT_EQ(info.tag, "5");
}

TEST(BrandBySimType, ATagBeforeTheNameIsNeverSeen) {
    const std::string table =
        Table("<cardtype><tag>5</tag><name>a</name><skinpath>s</skinpath></cardtype>");
    SimCardInfo info;
    info.tag = "kept";
    EXPECT_FALSE(FindBrandBySimType(table, "5", info));
    EXPECT_EQ(info.tag, "kept");
    // Without a name the tag is searched from the start of the record.
    EXPECT_TRUE(FindBrandBySimType(Table("<cardtype><tag>5</tag></cardtype>"), "5", info));
    EXPECT_EQ(info.name, "");
}

TEST(BrandBySimType, AnUnreadableTableMatchesNothing) {
    SimCardInfo info;
    EXPECT_FALSE(FindBrandBySimType("<main><cardtype>", "5", info));
    EXPECT_FALSE(FindBrandBySimType("", "0", info));
    EXPECT_EQ(info.tag, "0");
}

}  // namespace
