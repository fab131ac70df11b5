// The record-file library: its results, its on-disk form, and damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "libs/filemanager/FileManager.h"
#include "libs/filemanager/RecordFormat.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

namespace fs = std::filesystem;

namespace {

struct RecordRelease {
    void operator()(IRecord* p) const { p->Release(); }
};
using RecordPtr = std::unique_ptr<IRecord, RecordRelease>;

std::string FieldOf(CFileManager& fm, int record, int field) {
    RecordPtr r(fm.ReadRecord(record));
    std::string value = "<none>";
    if (r) r->GetFieldValue(field, value);
    return value;
}

class FileManagerTest : public ::testing::Test {
protected:
    // A file with the field "key" of 200 bytes and one record per text.
    void MakeFile(const std::vector<std::string>& values) {
        CFileManager fm;
        ASSERT_EQ(fm.Open(path), 0);
        ASSERT_EQ(fm.SetFieldInfo("key", 200), 0);
        for (const auto& v : values) {
            RecordPtr r(fm.CreateNewRecord());
            ASSERT_EQ(r->SetFieldValue(0, v), 0);
            ASSERT_EQ(fm.AddRecord(r.get()), 0);
        }
    }

    TempDir dir;
    std::string path = dir.File("records.dat");
    TraceCapture trace;
};

TEST_F(FileManagerTest, AMissingFileOpensEmptyAndAppearsWithItsFirstField) {
    CFileManager fm;
    EXPECT_NE(fm.Open(dir.File("no-such-dir") + "/file"), 0);
    EXPECT_NE(fm.Open(dir.Path()), 0);
    ASSERT_EQ(fm.Open(path), 0);
    EXPECT_EQ(fm.GetRecordCount(), 0u);
    EXPECT_EQ(fm.CreateNewRecord(), nullptr);  // no field to hold anything
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(fm.SetFieldInfo("key", 200), 0);
    EXPECT_EQ(fm.SetFieldInfo("key", 200), 0);
    EXPECT_EQ(fm.SetFieldInfo("key", 100), -1);
    // Only the file itself is in the directory: no temporary file is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(FileManagerTest, FieldsValuesAndRecordsMustFitTheFile) {
    CFileManager fm;
    ASSERT_EQ(fm.Open(path), 0);
    EXPECT_EQ(fm.SetFieldInfo("", 10), -1);
    EXPECT_EQ(fm.SetFieldInfo(std::string(32, 'n'), 10), -1);
    EXPECT_EQ(fm.SetFieldInfo("zero", 0), -1);
    EXPECT_EQ(fm.SetFieldInfo("huge", 64 * 1024 + 1), -1);
    ASSERT_EQ(fm.SetFieldInfo(std::string(31, 'n'), 10), 0);
    RecordPtr r(fm.CreateNewRecord());
    // A text and its terminator fill a field at most.
    EXPECT_EQ(r->SetFieldValue(0, std::string(9, 'x')), 0);
    EXPECT_EQ(r->SetFieldValue(0, std::string(10, 'x')), -1);
    EXPECT_EQ(r->SetFieldValue(0, std::string("a\0b", 3)), -1);
    EXPECT_EQ(r->SetFieldValue(1, "x"), -1);
    EXPECT_EQ(r->SetFieldValue(-1, "x"), -1);
    EXPECT_EQ(fm.UpdateRecord(r.get()), -1);  // not in the file yet
    ASSERT_EQ(fm.AddRecord(r.get()), 0);
    EXPECT_EQ(FieldOf(fm, 0, 0), std::string(9, 'x'));
    EXPECT_EQ(fm.SetFieldInfo("late", 4), -1);  // fields come before records

    CFileManager other;
    ASSERT_EQ(other.Open(dir.File("other.dat")), 0);
    ASSERT_EQ(other.SetFieldInfo("key", 100), 0);
    ASSERT_EQ(other.SetFieldInfo("largest", 64 * 1024), 0);
    RecordPtr foreign(other.CreateNewRecord());
    EXPECT_EQ(fm.AddRecord(foreign.get()), -1);
    EXPECT_EQ(fm.ReadRecord(1), nullptr);
    EXPECT_EQ(fm.GetRecordCount(), 1u);
}

TEST_F(FileManagerTest, AFailedWriteLeavesTheOpenFileAsItWas) {
    MakeFile({"kept"});
    CFileManager fm;
    ASSERT_EQ(fm.Open(path), 0);
    // A directory where the replacement would go cannot take it.
    fs::remove(path);
    fs::create_directory(path);
    RecordPtr r(fm.ReadRecord(0));
    ASSERT_EQ(r->SetFieldValue(0, "new"), 0);
    EXPECT_NE(fm.UpdateRecord(r.get()), 0);
    EXPECT_NE(fm.AddRecord(r.get()), 0);
    EXPECT_EQ(fm.GetRecordCount(), 1u);
    EXPECT_EQ(FieldOf(fm, 0, 0), "kept");
}

TEST_F(FileManagerTest, EveryTruncationOrChangedByteOpensAsAnEmptyFileWithATrace) {
    MakeFile({"secret"});
    std::ifstream in(path, std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::string> damaged{good + "x", "plain text, not a record file\n"};
    for (size_t i = 0; i < good.size(); ++i) {
        damaged.push_back(good.substr(0, i));
        damaged.push_back(good);
        damaged.back()[i] ^= 0x01;
    }
    for (const auto& bytes : damaged) {
        trace.Clear();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        CFileManager fm;
        ASSERT_EQ(fm.Open(path), 0);
        EXPECT_EQ(fm.GetRecordCount(), 0u) << bytes.size();
        const auto records = trace.Records();
        ASSERT_EQ(records.size(), 1u) << bytes.size();
        EXPECT_EQ(records[0].level, 2);
        EXPECT_NE(records[0].message.find("unreadable"), std::string::npos);
    }
}

TEST(RecordFormatTest, TheLayoutOnDiskIsFixedAndItsCountsAreNotTrustedForMemory) {
    EXPECT_EQ(record_format::Crc32("123456789", 9), 0xCBF43926u);
    RecordFileData data;
    data.fields.push_back({"key", 4});
    data.records.push_back(std::string("ab\0\0", 4));
    const std::string bytes = record_format::Encode(data);
    std::string expected("LPRF\x01\x00\x01\x00\x01\x00\x00\x00\x04\x00\x00\x00", 16);
    expected += "key" + std::string(29, '\0') + std::string("\x04\x00\x00\x00", 4) +
                std::string("ab\0\0", 4);
    ASSERT_EQ(bytes.size(), expected.size() + 4);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    RecordFileData back;
    std::string reason;
    ASSERT_TRUE(record_format::Decode(bytes, back, reason)) << reason;
    EXPECT_EQ(back.records, data.records);

    // A header claiming four billion records of 64 KiB, with a checksum that matches it.
    std::string huge("LPRF\x01\x00\x01\x00\xFF\xFF\xFF\xFF\x00\x00\x01\x00", 16);
    huge += "key" + std::string(29, '\0') + std::string("\x00\x00\x01\x00", 4);
    const uint32_t crc = record_format::Crc32(huge.data(), huge.size());
    for (int i = 0; i < 4; ++i) huge.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    EXPECT_FALSE(record_format::Decode(huge, back, reason));
}

}  // namespace
