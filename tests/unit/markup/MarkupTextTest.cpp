// Element texts: raw content, entity and character references, CDATA sections.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MarkupText, RootTextIsDecodedAsItsFormSays) {
    const std::pair<std::string, std::string> cases[] = {
        // Content as it stands; an element with a child has none.
        {"<x/>", ""},
        {"<x  />", ""},
        {"<x>\r\n a\tb\r\n</x >", "\r\n a\tb\r\n"},
        {"<x>a<!--c-->b<?p?>c</x>", "a<!--c-->b<?p?>c"},
        {"<x>a <y/> b</x>", ""},
        {"<x a=\"1>2\">t</x>", "2\">t"},  // a quoted '>' still ends the tag
        // The predefined entities are decoded, others kept.
        {"<x>&lt;&amp;&gt;&apos;&quot;</x>", "<&>'\""},
        {"<x>a &amp;amp; &foo; &AMP; & ;&lt</x>", "a &amp; &foo; &AMP; & ;&lt"},
        // Character references become UTF-8; above 0xFFFF only the low 16 bits are kept.
        {"<x>&#65;&#x4e2d;&#x7F;&#128;&#x7ff;&#x800;</x>",
         "A\xE4\xB8\xAD\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
        {"<x>&#x1F600;</x>", "\xEF\x98\x80"},
        // 'X' is no hexadecimal mark; digits stop at the first other byte; at most seven of them.
        {"<x>&#X41;&#66z;</x>", std::string("\0B", 2)},
        {"<x>&#0000065;&#12345678;</x>", "A&#12345678;"},
        {"<x>&#x0000041;&#x00000041;</x>", "A&#x00000041;"},
        {"<x>&#65</x>", "&#65"},
        {"<x>&#65</x>;", "A"},  // the ';' is looked for past the text, up to the document's end
        // Only a CDATA section that comes first is taken raw, and makes no children.
        {"<x><![CDATA[<b>&amp;]]></x>", "<b>&amp;"},
        {"<x> \r\n<![CDATA[ v ]]> tail &amp;</x>", " v "},
        {"<x><![CDATA[a]]]></x>", "a]"},
        {"<x>t<![CDATA[u]]>&lt;</x>", "t<![CDATA[u]]><"},
        {"<x><![CDATA[<y></y>]]></x>", "<y></y>"},
        // The document ends at its first NUL.
        {std::string("<x>a</x>\0<", 10), "a"},
    };
    for (const auto& [doc, text] : cases) {
        CMarkupSTL xml;
        ASSERT_TRUE(xml.SetDoc(doc)) << doc << ": " << xml.GetError();
        EXPECT_EQ(xml.GetElemData(), "") << doc;  // nothing current yet
        ASSERT_TRUE(xml.FindElem()) << doc;
        EXPECT_EQ(xml.GetElemData(), text) << doc;
    }
}

}  // namespace
