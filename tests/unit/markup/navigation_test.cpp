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
    EXPECT_EQ(xml.GetElemData(), "1");
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
    const char* doc = "<r><mainx/><ma/><main k='v'>m</main><n[1]>q</n[1]><a/><\r\n sp>s</sp></r>";
    struct Case {
        const char* name;
        const char* text;  // nullptr: no match
    };
    for (const Case& c :
         {Case{"main", "m"}, Case{"main x", "m"}, Case{"main=", "m"}, Case{"main/", "m"},
          Case{"main[", "m"}, Case{"mai", nullptr}, Case{"mainxy", nullptr}, Case{"Main", nullptr},
          Case{"n", nullptr}, Case{"n[1]", "q"}, Case{"n[1]]", nullptr}, Case{"a", ""},
          Case{"sp", "s"}}) {
        CMarkupSTL xml;
        ASSERT_TRUE(xml.SetDoc(doc));
        ASSERT_TRUE(xml.FindElem("r"));
        ASSERT_TRUE(xml.IntoElem());
        EXPECT_EQ(xml.FindElem(c.name), c.text != nullptr) << c.name;
        if (c.text) {
            EXPECT_EQ(xml.GetElemData(), c.text) << c.name;
        }
    }
}

TEST(MarkupNavigation, IntoAndLeaveMoveOneLevelAndLeaveReturnsToTheEnteredElement) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<r><a><x>1</x></a><a><x>2</x></a></r>"));
    EXPECT_FALSE(xml.IntoElem());   // nothing current yet
    EXPECT_FALSE(xml.LeaveElem());  // already at the top
    ASSERT_TRUE(xml.FindElem("r"));
    ASSERT_TRUE(xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("a"));
    ASSERT_TRUE(xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("x"));
    EXPECT_EQ(xml.GetElemData(), "1");
    EXPECT_TRUE(xml.IntoElem());   // a leaf can be entered: the level is empty
    EXPECT_FALSE(xml.FindElem());  // ... and nothing is inside
    EXPECT_FALSE(xml.IntoElem());  // nor current
    ASSERT_TRUE(xml.LeaveElem());
    EXPECT_EQ(xml.GetElemData(), "1");  // x is current again
    ASSERT_TRUE(xml.LeaveElem());
    EXPECT_EQ(xml.GetSubElemData(), "1");  // ... with x as its current child
    ASSERT_TRUE(xml.FindElem("a"));        // the sibling after the first a

    CMarkupSTL copy(xml);  // a copy walks on by itself from the same place
    ASSERT_TRUE(xml.SetDoc("<other/>"));
    ASSERT_TRUE(copy.IntoElem());
    ASSERT_TRUE(copy.FindElem("x"));
    EXPECT_EQ(copy.GetElemData(), "2");
}

TEST(MarkupNavigation, FindSubElemReadsChildrenWithoutDescending) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<result><code>0</code><key>k</key><key>k2</key></result>"));
    // No current element: the first element of the level becomes current first.
    ASSERT_TRUE(xml.FindSubElem("key"));
    EXPECT_EQ(xml.GetSubElemData(), "k");
    EXPECT_EQ(xml.GetElemData(), "");  // result itself has children
    ASSERT_TRUE(xml.FindSubElem("key"));
    EXPECT_EQ(xml.GetSubElemData(), "k2");
    EXPECT_FALSE(xml.FindSubElem("code"));  // the search goes on after the current child
    EXPECT_EQ(xml.GetSubElemData(), "k2");
    ASSERT_TRUE(xml.IntoElem());  // enters the current child
    EXPECT_EQ(xml.GetElemData(), "k2");
    EXPECT_FALSE(xml.FindElem("key"));
}

// 1,200 elements in about 25 KB: the index grows three times past its first size.
TEST(MarkupNavigation, BrandTableWalkFindsEveryRecordAndFieldsInAnyOrderAfterReset) {
    std::string doc = "<?xml version=\"1.0\"?>\r\n<main>\r\n";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        if (i % 2) {
            doc += "  <cardtype><name>a" + n + ",b</name><tag>" + n + "</tag><skinpath>s" + n +
                   "</skinpath></cardtype>\r\n";
        } else {  // fields in the opposite order
            doc += "  <cardtype><skinpath>s" + n + "</skinpath><tag>" + n + "</tag><name>a" + n +
                   ",b</name></cardtype>\r\n";
        }
    }
    doc += "</main>\r\n";
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc(doc));
    ASSERT_TRUE(xml.HasRootElem());
    ASSERT_TRUE(xml.FindElem("main"));
    ASSERT_TRUE(xml.IntoElem());
    int records = 0;
    while (xml.FindElem("cardtype")) {
        const std::string n = std::to_string(records++);
        ASSERT_TRUE(xml.IntoElem());
        ASSERT_TRUE(xml.FindElem("name"));
        EXPECT_EQ(xml.GetElemData(), "a" + n + ",b");
        xml.ResetLevelPos();
        ASSERT_TRUE(xml.FindElem("tag"));
        EXPECT_EQ(xml.GetElemData(), n);
        xml.ResetLevelPos();
        ASSERT_TRUE(xml.FindElem("skinpath"));
        EXPECT_EQ(xml.GetElemData(), "s" + n);
        ASSERT_TRUE(xml.LeaveElem());
    }
    EXPECT_EQ(records, 300);
}

TEST(MarkupNavigation, OnlyTheFirstTopLevelElementIsParsed) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<!-- c --><a>1</a><b>2</b> <<<\"junk"));
    EXPECT_FALSE(xml.FindElem("b"));
    ASSERT_TRUE(xml.FindElem("a"));
    EXPECT_EQ(xml.GetElemData(), "1");
    EXPECT_FALSE(xml.FindElem());
}

TEST(MarkupNavigation, NestingIsBoundedSoHostileDepthFailsCleanly) {
    auto nested = [](int depth) {
        std::string doc;
        for (int i = 0; i < depth; ++i) doc += "<d>";
        doc += "deep";
        for (int i = 0; i < depth; ++i) doc += "</d>";
        return doc;
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

    std::string million;
    for (int i = 0; i < 1000000; ++i) million += "<a>";
    EXPECT_FALSE(xml.SetDoc(million));
    EXPECT_EQ(xml.GetError(), "Elements nested deeper than 256 levels at a");
    EXPECT_FALSE(xml.FindElem());
}

}  // namespace
