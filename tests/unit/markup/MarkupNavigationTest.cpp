// Walking the element index: level by level, by name, and through children.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MarkupNavigation, FindElemVisitsMatchingSiblingsInOrderAndKeepsPositionOnMiss) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<main><a>1</a><b>x</b><a>2</a><c/></main>"));
    ASSERT_TRUE(xml.FindElem("main"));
    ASSERT_TRUE(xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("a"));
    EXPECT_FALSE(xml.FindElem("zzz"));
    EXPECT_EQ(xml.GetElemData(), "1");  // a miss leaves the position alone
    ASSERT_TRUE(xml.FindElem("a"));
    EXPECT_EQ(xml.GetElemData(), "2");
    EXPECT_FALSE(xml.FindElem("a"));
    ASSERT_TRUE(xml.FindElem());  // no name: whatever comes next
    EXPECT_FALSE(xml.FindElem(""));
    xml.ResetLevelPos();
    ASSERT_TRUE(xml.FindElem("b"));  // the level is searched from its start again
    EXPECT_EQ(xml.GetElemData(), "x");
}

TEST(MarkupNavigation, NameRuleComparesTheWholeTagNameAndAllowsTrailingSeparators) {
    const std::pair<const char*, const char*> cases[] = {
        // name, text (nullptr: no match)
        {"main", "m"},      {"main x", "m"},     {"main=", "m"},    {"main/", "m"}, {"main[", "m"},
        {"mai", nullptr},   {"mainxy", nullptr}, {"Main", nullptr}, {"n", nullptr}, {"n[1]", "q"},
        {"n[1]]", nullptr}, {"a", ""},           {"sp", "s"}};
    for (const auto& [name, text] : cases) {
        CMarkupSTL xml;
        ASSERT_TRUE(xml.SetDoc(
            "<r><mainx/><ma/><main k='v'>m</main><n[1]>q</n[1]><a/><\r\n sp>s</sp></r>"));
        ASSERT_TRUE(xml.FindElem("r") && xml.IntoElem());
        EXPECT_EQ(xml.FindElem(name), text != nullptr) << name;
        if (text) {
            EXPECT_EQ(xml.GetElemData(), text) << name;
        }
    }
}

TEST(MarkupNavigation, IntoLeaveAndSubElementsMoveOneLevelAtATime) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<r><a><x>1</x></a><a><x>2</x><k>k1</k><k>k2</k></a></r>"));
    EXPECT_FALSE(xml.IntoElem());   // nothing current yet
    EXPECT_FALSE(xml.LeaveElem());  // already at the top
    ASSERT_TRUE(xml.FindElem("r") && xml.IntoElem() && xml.FindElem("a") && xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("x"));
    EXPECT_TRUE(xml.IntoElem());   // a leaf can be entered: the level is empty
    EXPECT_FALSE(xml.FindElem());  // ... and nothing is inside
    ASSERT_TRUE(xml.LeaveElem());
    EXPECT_EQ(xml.GetElemData(), "1");  // x is current again
    ASSERT_TRUE(xml.LeaveElem());
    EXPECT_EQ(xml.GetSubElemData(), "1");  // ... with x as its current child
    ASSERT_TRUE(xml.FindElem("a"));        // the sibling after the first a

    CMarkupSTL copy(xml);  // a copy walks on by itself from the same place
    ASSERT_TRUE(xml.SetDoc("<other/>"));
    ASSERT_TRUE(copy.FindSubElem("k"));  // children are read without descending
    EXPECT_EQ(copy.GetSubElemData(), "k1");
    EXPECT_EQ(copy.GetElemData(), "");    // a has children: no text
    EXPECT_FALSE(copy.FindSubElem("x"));  // the search goes on after the current child
    ASSERT_TRUE(copy.FindSubElem("k"));
    ASSERT_TRUE(copy.IntoElem());  // enters the current child
    EXPECT_EQ(copy.GetElemData(), "k2");
}

TEST(MarkupNavigation, NestingIsBoundedSoHostileDepthFailsCleanly) {
    const auto nested = [](int depth) {
        std::string open, close;
        for (int i = 0; i < depth; ++i) open += "<d>", close += "</d>";
        return open + "deep" + close;
    };
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc(nested(CMarkupSTL::kMaxDepth)));
    int levels = 0;
    while (xml.FindElem("d") && xml.IntoElem()) ++levels;
    EXPECT_EQ(levels, CMarkupSTL::kMaxDepth);
    ASSERT_TRUE(xml.LeaveElem());
    EXPECT_EQ(xml.GetElemData(), "deep");

    EXPECT_FALSE(xml.SetDoc(nested(CMarkupSTL::kMaxDepth + 1)));
    EXPECT_EQ(xml.GetError(), "Elements nested deeper than 256 levels at d");
    EXPECT_FALSE(xml.SetDoc(nested(1000000)));
    EXPECT_EQ(xml.GetError(), "Elements nested deeper than 256 levels at d");
    EXPECT_FALSE(xml.FindElem());
}

}  // namespace
