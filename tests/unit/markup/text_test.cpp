// Element texts: raw content, entity and character references, CDATA sections.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Text of the root element of doc; the document must parse.
std::string RootText(const std::string& doc) {
    CMarkupSTL xml;
    EXPECT_TRUE(xml.SetDoc(doc)) << doc << ": " << xml.GetError();
    EXPECT_TRUE(xml.FindElem());
    return xml.GetElemData();
}

TEST(MarkupText, ContentIsTakenAsItStands) {
    EXPECT_EQ(RootText("<x/>"), "");
    EXPECT_EQ(RootText("<x  />"), "");
    EXPECT_EQ(RootText("<x></x>"), "");
    EXPECT_EQ(RootText("<x>  a  </x>"), "  a  ");
    EXPECT_EQ(RootText("<x>\r\n a\tb\r\n</x >"), "\r\n a\tb\r\n");
    EXPECT_EQ(RootText("<x>a<!--c-->b<?p?>c</x>"), "a<!--c-->b<?p?>c");
    EXPECT_EQ(RootText("<x>a <y/> b</x>"), "");          // an element with a child has no text
    EXPECT_EQ(RootText("<x a=\"1>2\">t</x>"), "2\">t");  // a quoted '>' still ends the tag

    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<x>t</x>"));
    EXPECT_EQ(xml.GetElemData(), "");  // nothing current
    EXPECT_EQ(xml.GetSubElemData(), "");
}

TEST(MarkupText, PredefinedEntitiesAreDecodedOthersKept) {
    EXPECT_EQ(RootText("<x>&lt;&amp;&gt;&apos;&quot;</x>"), "<&>'\"");
    EXPECT_EQ(RootText("<x>a &amp; b &amp;amp;</x>"), "a & b &amp;");
    EXPECT_EQ(RootText("<x>&foo; &AMP; & ;&lt</x>"), "&foo; &AMP; & ;&lt");
}

TEST(MarkupText, CharacterReferencesBecomeUtf8) {
    EXPECT_EQ(RootText("<x>a &amp; b&#65;&#x4e2d;</x>"), "a & bA\xE4\xB8\xAD");
    EXPECT_EQ(RootText("<x>&#x7F;&#128;&#x7ff;&#x800;</x>"), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80");
    // Above 0xFFFF only the low 16 bits are kept.
    EXPECT_EQ(RootText("<x>&#x1F600;</x>"), "\xEF\x98\x80");
    // A 'X' is not a hexadecimal mark, and digits stop at the first other byte.
    EXPECT_EQ(RootText("<x>&#X41;&#66z;</x>"), std::string("\0B", 2));
    // At most seven digits before the ';'.
    EXPECT_EQ(RootText("<x>&#0000065;</x>"), "A");
    EXPECT_EQ(RootText("<x>&#12345678;</x>"), "&#12345678;");
    EXPECT_EQ(RootText("<x>&#x0000041;&#x00000041;</x>"), "A&#x00000041;");
    EXPECT_EQ(RootText("<x>&#65</x>"), "&#65");
    // The ';' of a character reference is looked for past the text, up to the document's end.
    EXPECT_EQ(RootText("<x>&#65</x>;"), "A");
}

TEST(MarkupText, LeadingCdataSectionIsTakenRaw) {
    EXPECT_EQ(RootText("<x><![CDATA[<b>&amp;]]></x>"), "<b>&amp;");
    EXPECT_EQ(RootText("<x> \r\n<![CDATA[ v ]]> tail &amp;</x>"), " v ");
    EXPECT_EQ(RootText("<x><![CDATA[]]></x>"), "");
    EXPECT_EQ(RootText("<x><![CDATA[a]]]></x>"), "a]");
    // Only a section that comes first is special.
    EXPECT_EQ(RootText("<x>t<![CDATA[u]]>&lt;</x>"), "t<![CDATA[u]]><");
    // A section holding markup does not make children.
    EXPECT_EQ(RootText("<x><![CDATA[<y></y>]]></x>"), "<y></y>");
}

TEST(MarkupText, DocumentEndsAtItsFirstNul) {
    CMarkupSTL xml;
    EXPECT_FALSE(xml.SetDoc(std::string("<x>a\0b</x>", 10)));
    ASSERT_TRUE(xml.SetDoc(std::string("<x>a</x>\0<", 10)));
    ASSERT_TRUE(xml.FindElem("x"));
    EXPECT_EQ(xml.GetElemData(), "a");
}

}  // namespace
