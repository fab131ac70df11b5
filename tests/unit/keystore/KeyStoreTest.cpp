// The key file: its place, its three states, and what each failing step leaves in the trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "FakeHost.h"
#include "libs/filemanager/FileManager.h"
#include "KeyStore.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

namespace fs = std::filesystem;

namespace {

const char* const kNoRecord = " FileManager.GetRecordCount() return zero";
const char* const kReadFailed = "ReadPwd() throw CVelkoException exception!";
const char* const kWriteFailed = "WritePwd() throw CVelkoException exception!";
const char* const kNoPath = "GetKeyFile() throw CVelkoException exception!";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class KeyStoreTest : public ::testing::Test {
protected:
    KeyStoreTest() { host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.WithSeparator()); }

    // The key store as a start of the login object leaves it: the file prepared.
    std::unique_ptr<KeyStore> Start(IPluginContainer* pContainer = nullptr) {
        auto store = std::make_unique<KeyStore>(pContainer ? pContainer : &host.container);
        store->Create();
        return store;
    }
    // A key file with one record per text, made directly through the record files.
    void StoreRecords(const std::vector<std::string>& values) {
        fs::remove(keyFile);
        CFileManager fm;
        ASSERT_EQ(fm.Open(keyFile), 0);
        ASSERT_EQ(fm.SetFieldInfo("key", 200), 0);
        for (const auto& v : values) {
            IRecord* r = fm.CreateNewRecord();
            ASSERT_EQ(r->SetFieldValue(0, v), 0);
            ASSERT_EQ(fm.AddRecord(r), 0);
            r->Release();
        }
    }
    KeyStore::Found Found() const { return KeyStore::Load(keyFile).found; }
    void ExpectTrace(const std::string& message, int level) {
        const TraceRecord record = trace.Find(message);
        EXPECT_EQ(record.level, level) << message;
        EXPECT_EQ(record.module, "LoginPlguin") << message;
        EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl") << message;
    }

    TempDir dir;
    FakeHost host;
    TraceCapture trace;
    std::string keyFile = dir.File("Key.dtc");
};

TEST_F(KeyStoreTest, ThePathIsTheSettingWithTheFileNameAppendedAsItIs) {
    auto store = Start();
    EXPECT_EQ(store->Path(), keyFile);
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", "D:\\Data\\u");
    EXPECT_EQ(store->Path(), "D:\\Data\\uKey.dtc");
    ExpectTrace("CURRENT_USER_PRIVATE_DIR/PATH does not end with a separator: D:\\Data\\u", 3);
    EXPECT_EQ(host.setting.Releases(), host.container.Queries(PLUGIN_ID_SETTING, IID_SETTING));

    FakeHost bare;  // no "CURRENT_USER_PRIVATE_DIR" at all
    trace.Clear();
    auto other = Start(&bare.container);
    ExpectTrace(kNoPath, 1);
    ExpectTrace("setting CURRENT_USER_PRIVATE_DIR/PATH is missing", 2);
    ExpectTrace("fm.Open() failed!", 2);
    bare.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    EXPECT_EQ(other->Path(), "");
    EXPECT_EQ(trace.Count(kNoPath, 1), 2);
}

TEST_F(KeyStoreTest, TheFileGoesFromAbsentToPreparedToHoldingThePassword) {
    auto store = Start();
    fs::remove(keyFile);
    trace.Clear();
    EXPECT_EQ(Found(), KeyStore::Found::kNone);
    ExpectTrace(kNoRecord, 4);
    ExpectTrace(kReadFailed, 1);

    // Prepared at the start: the field is declared, no record yet.
    store = Start();
    ASSERT_TRUE(fs::exists(keyFile));
    trace.Clear();
    EXPECT_EQ(KeyStore::Read(keyFile), "");
    ExpectTrace(kNoRecord, 4);

    // The first password adds record 0, later ones replace it.
    EXPECT_TRUE(KeyStore::Write(keyFile, "first-pw"));
    EXPECT_EQ(KeyStore::Read(keyFile), "first-pw");
    EXPECT_EQ(Found(), KeyStore::Found::kPassword);
    EXPECT_TRUE(KeyStore::Write(keyFile, "\xC3\xDC\xC2\xEB-2"));
    // A later start finds the password and leaves the file alone.
    const std::string before = ReadBytes(keyFile);
    trace.Clear();
    auto next = Start();
    ExpectTrace("CreateKeyFile() fm.GetRecordCount() failed!", 4);
    EXPECT_EQ(ReadBytes(keyFile), before);
    EXPECT_EQ(KeyStore::Read(keyFile), "\xC3\xDC\xC2\xEB-2");
}

TEST_F(KeyStoreTest, WritesThatCannotBeMadeLeaveTheFileAsItWas) {
    auto store = Start();
    EXPECT_FALSE(KeyStore::Write(keyFile, ""));
    ASSERT_TRUE(KeyStore::Write(keyFile, std::string(199, 'p')));
    EXPECT_FALSE(KeyStore::Write(keyFile, std::string(200, 'p')));
    ExpectTrace(" FileManager.SetFieldValue() failed!", 2);
    EXPECT_EQ(KeyStore::Read(keyFile), std::string(199, 'p'));

    StoreRecords({"one", "two"});
    const std::string before = ReadBytes(keyFile);
    EXPECT_FALSE(KeyStore::Write(keyFile, "three"));
    ExpectTrace("1 != iRecordCount!", 2);
    ExpectTrace(kWriteFailed, 1);
    EXPECT_EQ(ReadBytes(keyFile), before);
    EXPECT_EQ(KeyStore::Read(keyFile), "one");

    StoreRecords({""});
    trace.Clear();
    EXPECT_EQ(Found(), KeyStore::Found::kNone);
    ExpectTrace(" strKey equal !", 4);
    EXPECT_FALSE(trace.Has(kReadFailed));
}

TEST_F(KeyStoreTest, AMissingDirectoryFailsEveryOperationWithItsTrace) {
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.File("gone") + "/");
    auto store = Start();
    ExpectTrace("fm.Open() failed!", 2);
    // The host is told the path it tried, once: later attempts do not repeat it.
    const std::string hint =
        "key file cannot be opened, does its folder exist? " + dir.File("gone") + "/Key.dtc";
    EXPECT_EQ(trace.Count(hint, 2), 1);
    trace.Clear();
    const KeyStore::Stored stored = KeyStore::Load(store->Path());
    EXPECT_EQ(stored.found, KeyStore::Found::kUnreadable);
    EXPECT_EQ(stored.password, "");
    ExpectTrace(" FileManager.Open() failed!", 2);
    ExpectTrace(kReadFailed, 1);
    EXPECT_FALSE(KeyStore::Write(store->Path(), "pw"));
    ExpectTrace(kWriteFailed, 1);
    EXPECT_FALSE(trace.Has(hint));
    EXPECT_FALSE(fs::exists(dir.File("gone")));
}

TEST_F(KeyStoreTest, ADeletedDamagedOrForeignFileReadsAsNoPasswordAndTakesTheNextOne) {
    auto store = Start();
    ASSERT_TRUE(KeyStore::Write(keyFile, "pw"));
    const std::string good = ReadBytes(keyFile);
    for (const std::string& bad :
         {std::string(), good.substr(0, good.size() / 2), std::string("foreign text")}) {
        if (bad.empty())
            fs::remove(keyFile);
        else
            std::ofstream(keyFile, std::ios::binary | std::ios::trunc) << bad;
        trace.Clear();
        EXPECT_EQ(Found(), KeyStore::Found::kNone);
        ExpectTrace(kNoRecord, 4);
        EXPECT_TRUE(KeyStore::Write(keyFile, "new-pw"));
        EXPECT_EQ(KeyStore::Read(keyFile), "new-pw");
        // The file is again what a first registration makes, and the next start leaves it.
        const std::string rewritten = ReadBytes(keyFile);
        auto next = Start();
        EXPECT_EQ(ReadBytes(keyFile), rewritten);
        StoreRecords({"new-pw"});
        EXPECT_EQ(ReadBytes(keyFile), rewritten);
    }
}

}  // namespace
