// What parses, what does not and the error texts, from text or from a file.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

TEST(MarkupParse, MalformedDocumentsFailWithTheirErrorText) {
    const std::string longName(400, 'n');
    const std::pair<std::string, std::string> cases[] = {
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a></ab>", "End tag does not correspond to a"},
        {"<ab></a>", "End tag does not correspond to ab"},
        {"<a>", "Element tag not found"},
        {"text only", "Element tag not found"},
        {"<a><b", "End of tag not found"},
        {"< 'a'>", "Tag starts with quote"},
        {"<", "Abrupt end within tag"},
        {"<a>< \r\n", "Abrupt end within tag"},
        {"<a></a", "End tag not completed for element a"},
        {"<a></>", "End tag not completed for element a"},
        {"<a><!-- x </a>", "Invalid node"},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> <a/>", "Invalid node"},
        {"< ?x?><a/>", "Invalid node"},
        {"<" + longName + "></b>", ("End tag does not correspond to " + longName).substr(0, 299)},
        // Without an error text: nothing, or an end tag first.
        {"", ""},
        {"  </a><b/>", ""},
        {std::string("<x>a\0b</x>", 10), "Element tag not found"},  // it ends at the NUL
    };
    for (const auto& [doc, error] : cases) {
        CMarkupSTL xml;
        EXPECT_FALSE(xml.SetDoc(doc)) << doc;
        EXPECT_EQ(xml.GetError(), error) << doc;
        EXPECT_FALSE(xml.HasRootElem()) << doc;
        EXPECT_FALSE(xml.FindElem()) << doc;
    }
}

TEST(MarkupParse, TolerantFormsParseAndOnlyTheFirstTopLevelElementCounts) {
    for (const char* doc : {
             "<?xml version=\"1.0\"?>\n<!-- c -->\n<!DOCTYPE x [ <!ELEMENT x ANY> ]>\n<x>t</x>",
             "<!DOCTYPE x SYSTEM \"[>\" [ ]><x>t</x>",  // a quoted '[' or '>' is only a string
             "<x>t</x><b>2</b> <<<< garbage after the root", "<x>t</ x >",
             "<x>t</x extra tokens \"q>\" >",
             "<x>t</\"y\">",          // a quoted name is not compared
             "<x[1]>t</x>",           // the end tag's name may stop before a '['
             "<?>\n<!-->\n<x>t</x>",  // the closing mark is looked for from the '<'
         }) {
        CMarkupSTL xml;
        ASSERT_TRUE(xml.SetDoc(doc)) << doc << ": " << xml.GetError();
        ASSERT_TRUE(xml.FindElem()) << doc;
        EXPECT_EQ(xml.GetElemData(), "t") << doc;
        EXPECT_FALSE(xml.FindElem()) << doc;
    }
}

TEST(MarkupParse, FailedParseDropsThePreviousDocumentButErrorTextOutlivesSuccess) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.SetDoc("<r><a>1</a></r>"));
    ASSERT_TRUE(xml.FindElem("r") && xml.IntoElem() && xml.FindElem("a"));
    EXPECT_FALSE(xml.SetDoc("<r><a>1</a>"));
    EXPECT_EQ(xml.GetElemData(), "");
    EXPECT_FALSE(xml.LeaveElem() || xml.FindElem("r") || xml.FindSubElem("a"));
    ASSERT_TRUE(xml.SetDoc("<s>2</s>"));
    EXPECT_EQ(xml.GetError(), "Element tag not found");
    ASSERT_TRUE(xml.FindElem("s"));
    EXPECT_EQ(xml.GetElemData(), "2");
}

TEST(MarkupParse, FilesAreTakenAsRawBytesUpToTheFirstNulAndFailuresEmptyTheDocument) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("markup_test_" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    };
    CMarkupSTL xml;
    ASSERT_TRUE(xml.LoadDoc(write("crlf.xml", "<m>\r\n<a>x\r\ny\x1A</a>\r\n</m>\r\n")));
    ASSERT_TRUE(xml.FindElem("m") && xml.IntoElem() && xml.FindElem("a"));
    EXPECT_EQ(xml.GetElemData(), "x\r\ny\x1A");
    // (Names like "nul.xml" would open the null device on Windows.)
    EXPECT_TRUE(xml.LoadDoc(write("stops.xml", std::string("<a>1</a>\0<<", 11))));
    for (const std::string& path : {(dir / "missing.xml").string(), write("empty.xml", ""),
                                    write("cut.xml", std::string("<a>1\0</a>", 9)), dir.string()}) {
        ASSERT_TRUE(xml.LoadDoc(write("good.xml", "<a>1</a>")) && xml.FindElem("a"));
        EXPECT_FALSE(xml.LoadDoc(path)) << path;
        EXPECT_FALSE(xml.HasRootElem()) << path;
        EXPECT_EQ(xml.GetElemData(), "") << path;
    }
    EXPECT_FALSE(xml.LoadDoc(nullptr));
    fs::remove_all(dir);
}

}  // namespace
