// What parses, what does not, and the error texts.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MarkupParse, MalformedDocumentsFailWithTheirErrorText) {
    const std::string longName(400, 'n');
    struct Case {
        std::string doc;
        std::string error;
    };
    const Case cases[] = {
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a></ab>", "End tag does not correspond to a"},
        {"<ab></a>", "End tag does not correspond to ab"},
        {"<a>", "Element tag not found"},
        {"text only", "Element tag not found"},
        {"<a", "End of tag not found"},
        {"<a><b", "End of tag not found"},
        {"<\"a\">", "Tag starts with quote"},
        {"< 'a'>", "Tag starts with quote"},
        {"<", "Abrupt end within tag"},
        {"<a>< \r\n", "Abrupt end within tag"},
        {"<a></a", "End tag not completed for element a"},
        {"<a></>", "End tag not completed for element a"},
        {"<a></a \"x>", "End tag not completed for element a"},
        {"<a><!-- x </a>", "Invalid node"},
        {"<a><![CDATA[ x </a>", "Invalid node"},
        {"<?xml ", "Invalid node"},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> <a/>", "Invalid node"},
        {"<!", "Invalid node"},
        {"< ?x?><a/>", "Invalid node"},
        {"<" + longName + "></b>", ("End tag does not correspond to " + longName).substr(0, 299)},
    };
    for (const Case& c : cases) {
        CMarkupSTL xml;
        EXPECT_FALSE(xml.SetDoc(c.doc)) << c.doc;
        EXPECT_EQ(xml.GetError(), c.error) << c.doc;
        EXPECT_FALSE(xml.HasRootElem()) << c.doc;
        EXPECT_FALSE(xml.FindElem()) << c.doc;
    }
}

TEST(MarkupParse, TolerantFormsParse) {
    const char* docs[] = {
        "<?xml version=\"1.0\"?>\n<!-- c -->\n<!DOCTYPE x [ <!ELEMENT x ANY> ]>\n<x>t</x>",
        "<!DOCTYPE x SYSTEM \"[>\" [ ]><x>t</x>",  // a quoted '[' or '>' is only a string
        "<x>t</x><<<< garbage after the root",
        "<x>t</ x >",
        "<x>t</x extra tokens \"q>\" >",
        "<x>t</\"y\">",          // a quoted name is not compared
        "<x[1]>t</x>",           // the end tag's name may stop before a '['
        "<?>\n<!-->\n<x>t</x>",  // the closing mark is looked for from the '<'
    };
    for (const char* doc : docs) {
        CMarkupSTL xml;
        ASSERT_TRUE(xml.SetDoc(doc)) << doc << ": " << xml.GetError();
        EXPECT_TRUE(xml.HasRootElem());
        ASSERT_TRUE(xml.FindElem()) << doc;
        EXPECT_EQ(xml.GetElemData(), "t") << doc;
    }
}

TEST(MarkupParse, QuotesHideMarkupInEndTagsButNotInStartTags) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<r><x>t</x \"><z/>\"><y a=\"<w/>\"/></r>"));
    ASSERT_TRUE(xml.FindElem("r"));
    ASSERT_TRUE(xml.IntoElem());
    for (const char* name : {"x", "y"}) {
        EXPECT_TRUE(xml.FindElem(name)) << name;
        xml.ResetLevelPos();
    }
    for (const char* name : {"z", "w"}) {
        EXPECT_FALSE(xml.FindElem(name)) << name;
    }
}

TEST(MarkupParse, EmptyOrEndTagFirstFailsWithoutErrorText) {
    CMarkupSTL xml;
    EXPECT_FALSE(xml.SetDoc(nullptr));
    EXPECT_FALSE(xml.SetDoc(""));
    EXPECT_FALSE(xml.SetDoc("  </a><b/>"));
    EXPECT_EQ(xml.GetError(), "");
    EXPECT_FALSE(xml.HasRootElem());
}

TEST(MarkupParse, FailedParseDropsThePreviousDocumentButErrorTextOutlivesSuccess) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<r><a>1</a></r>"));
    ASSERT_TRUE(xml.FindElem("r"));
    ASSERT_TRUE(xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("a"));
    EXPECT_FALSE(xml.SetDoc("<r><a>1</a>"));
    EXPECT_EQ(xml.GetElemData(), "");
    EXPECT_FALSE(xml.LeaveElem());
    EXPECT_FALSE(xml.FindElem("r"));
    EXPECT_FALSE(xml.FindSubElem("a"));
    ASSERT_TRUE(xml.SetDoc("<s>2</s>"));
    EXPECT_EQ(xml.GetError(), "Element tag not found");
    EXPECT_FALSE(xml.FindElem("r"));
    ASSERT_TRUE(xml.FindElem("s"));
    EXPECT_EQ(xml.GetElemData(), "2");
}

}  // namespace
