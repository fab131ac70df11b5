// Loading documents from files.
#include "markup/MarkupSTL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class MarkupFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("markup_test_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Write(const char* name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    fs::path dir_;
};

TEST_F(MarkupFile, LoadsRawBytes) {
    CMarkupSTL xml;
    ASSERT_TRUE(xml.LoadDoc(Write("crlf.xml", "<main>\r\n<a>x\r\ny\x1A</a>\r\n</main>\r\n")));
    ASSERT_TRUE(xml.HasRootElem());
    ASSERT_TRUE(xml.FindElem("main"));
    ASSERT_TRUE(xml.IntoElem());
    ASSERT_TRUE(xml.FindElem("a"));
    EXPECT_EQ(xml.GetElemData(), "x\r\ny\x1A");
}

TEST_F(MarkupFile, EveryFailureLeavesAnEmptyDocument) {
    CMarkupSTL xml;
    const std::string good = Write("good.xml", "<a>1</a>");
    const std::string failing[] = {
        (dir_ / "missing.xml").string(),
        Write("empty.xml", ""),
        Write("bad.xml", "<a><b></a>"),
        dir_.string(),
    };
    for (const std::string& path : failing) {
        ASSERT_TRUE(xml.LoadDoc(good));
        ASSERT_TRUE(xml.FindElem("a"));
        EXPECT_FALSE(xml.LoadDoc(path)) << path;
        EXPECT_FALSE(xml.HasRootElem()) << path;
        EXPECT_EQ(xml.GetElemData(), "") << path;
        EXPECT_FALSE(xml.FindElem("a")) << path;
    }
    EXPECT_EQ(xml.GetError(), "End tag does not correspond to b");
    EXPECT_FALSE(xml.LoadDoc(nullptr));
}

// (Names like "nul.xml" would open the null device on Windows.)
TEST_F(MarkupFile, FileEndsAtItsFirstNul) {
    CMarkupSTL xml;
    EXPECT_TRUE(xml.LoadDoc(Write("stops.xml", std::string("<a>1</a>\0<<", 11))));
    EXPECT_FALSE(xml.LoadDoc(Write("cut.xml", std::string("<a>1\0</a>", 9))));
}

}  // namespace
