// What a server or a card sends ends up in trace messages: a record stays one line of bounded
// length whatever it holds, and the file stays within its bound across rotations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "libs/trace/NorvaTrace.h"
#include "libs/trace/TraceFile.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(TraceBoundsTest, AHugeMessageWithALineBreakAndAForgedRecordStaysOneShortRecord) {
    TempDir dir;
    const std::string path = dir.File("huge.log");
    std::string message = "resultValue=";
    message += std::string(size_t{450} * 1024, 'A');
    message +=
        "\n2026-01-01 00:00:00.000 [1] CRIT LoginPlguin src\\LoginPlugin\\LoginImpl:1 forged";
    message += "\r\t\x01\x7F";
    message += std::string(size_t{450} * 1024, 'B');
    CNorvaTrace::instance(path)->Traceout(3, "M", "S", 9, message);
    CNorvaTrace::instance(path)->Traceout(4, "M", "S", 10, "tab\there\nand a break");

    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].size(), 600u);
    EXPECT_NE(lines[0].find(" WARN M S:9 resultValue=AAAA"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" ...[cut, " + std::to_string(message.size()) + " bytes]"),
              std::string::npos);
    EXPECT_EQ(lines[0].find("forged"), std::string::npos);
    EXPECT_NE(lines[1].find(" INFO M S:10 tab\\there\\nand a break"), std::string::npos)
        << lines[1];

    // The forged text, when it fits, is on the record's own line, its break escaped.
    const std::string shortForgery = "x\nCRIT forged\x1B[2J\x7F";
    CNorvaTrace::instance(path)->Traceout(2, "M", "S", 11, shortForgery);
    const std::vector<std::string> after = Lines(path);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_NE(after[2].find(" ERRO M S:11 x\\nCRIT forged\\x1B[2J\\x7F"), std::string::npos)
        << after[2];
}

TEST(TraceBoundsTest, TheFileRotatesAtItsBoundKeepingOneOlderFile) {
    TempDir dir;
    const std::string path = dir.File("rotating.log");
    CNorvaTrace* trace = CNorvaTrace::instance(path);
    // Three bounds' worth of records, each cut to its longest.
    const std::string message(1000, 'r');
    const int records = static_cast<int>(3 * kTraceFileBytes / 450);
    for (int i = 0; i < records; ++i) trace->Traceout(4, "M", "S", i, message);

    namespace fs = std::filesystem;
    ASSERT_TRUE(fs::exists(path + ".1"));
    EXPECT_FALSE(fs::exists(path + ".2"));
    EXPECT_LE(fs::file_size(path), kTraceFileBytes);
    EXPECT_LE(fs::file_size(path + ".1"), kTraceFileBytes);
    // The older file was full when it was moved aside; records are whole lines in both.
    EXPECT_GT(fs::file_size(path + ".1"), kTraceFileBytes - 600);
    const std::vector<std::string> current = Lines(path);
    ASSERT_FALSE(current.empty());
    EXPECT_NE(current.back().find(" S:" + std::to_string(records - 1) + " rrr"), std::string::npos);
    for (const std::string& name : {path, path + ".1"}) {
        std::ifstream in(name, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text.find("\n\n"), std::string::npos);
    }
}

// A second name of a file may be another user's way in to it: the trace never writes there, then
// or later.
TEST(TraceBoundsTest, AFileWithASecondLinkIsNeverWrittenTo) {
    TempDir dir;
    const std::string victim = dir.File("victim.conf");
    std::ofstream(victim, std::ios::binary) << "victim\n";
    const std::string name = dir.File("hardlink.log");
    std::filesystem::create_hard_link(victim, name);
    CNorvaTrace::instance(name)->Traceout(1, "M", "S", 1, "through a hard link");
    CNorvaTrace::instance(name)->Traceout(1, "M", "S", 2, "again");
    EXPECT_EQ(Lines(victim), std::vector<std::string>{"victim"});
}

}  // namespace
