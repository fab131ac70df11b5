// Every file the plug-in reads goes through one opener: it never waits on what lies at the name
// (a FIFO there would hold the host for good), reads only a regular file of bounded size, and
// refuses a link in the user's own state (key file, registry store) while following one that an
// installer put beside the program (brand table, plug-in list). One table, each reader against
// each thing a local user could put at its name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "BrandFixture.h"
#include "KeyStore.h"
#include "PluginList.h"
#include "TempDir.h"
#include "global/GlobalAT.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

enum class Kind { kRegular, kFifo, kLink, kDirectory, kHuge };

class FileReadersTest : public BrandFixture {
protected:
    FileReadersTest() { setenv(kRegistryRootVariable, dir.File("registry").c_str(), 1); }
    ~FileReadersTest() override { unsetenv(kRegistryRootVariable); }

    // Puts `kind` at path; a regular file (also the link's target) holds `bytes`.
    void Place(Kind kind, const std::string& path, const std::string& bytes) {
        fs::create_directories(fs::path(path).parent_path());
        const std::string target = dir.File("target-" + std::to_string(++m_nTargets));
        switch (kind) {
            case Kind::kRegular:
                std::ofstream(path, std::ios::binary) << bytes;
                break;
            case Kind::kFifo:
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
                break;
            case Kind::kLink:
                std::ofstream(target, std::ios::binary) << bytes;
                fs::create_symlink(target, path);
                break;
            case Kind::kDirectory:
                fs::create_directory(path);
                break;
            case Kind::kHuge:  // sparse: its size is claimed, not written
                std::ofstream(path, std::ios::binary) << bytes;
                fs::resize_file(path, uint64_t{3} << 30);
                break;
        }
    }

    TempDir dir;
    int m_nTargets = 0;
};

TEST_F(FileReadersTest, EachReaderTakesARegularFileOnlyAndNeverWaitsOnWhatIsAtItsName) {
    const std::string keyFile = dir.File("made/Key.dtc");
    fs::create_directories(dir.File("made"));
    ASSERT_TRUE(KeyStore::Write(keyFile, "pw"));
    std::string keyBytes;
    {
        std::ifstream in(keyFile, std::ios::binary);
        keyBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string bootId;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), bootId);
    const std::string valueDir = dir.File("registry/Software/T");
    fs::create_directories(valueDir);

    const struct Reader {
        const char* name;
        std::string path;
        std::string bytes;  // what a regular file there holds
        std::string good;   // what the reader makes of it
        std::string bad;    // what it answers for anything else
        bool bFollowsLinks;
        std::function<std::string(const std::string&)> read;
    } readers[] = {
        {"key file", dir.File("key/Key.dtc"), keyBytes, "pw", "", false,
         [](const std::string& path) { return KeyStore::Read(path); }},
        {"registry value", valueDir + "/V", "text\n", "text", "<failed>", false,
         [](const std::string&) {
             char buffer[64] = {};
             uint32_t size = sizeof buffer;
             const RegKey key = RegKey::OpenCurrentUser("Software\\T", RegAccess::Read);
             return key.QueryValue("V", buffer, size) ? std::string(buffer) : "<failed>";
         }},
        // A marker that cannot be read is no marker: the key is an ordinary one.
        {"volatile marker", dir.File("registry/Software/Vol/.volatile"), bootId + "\n", "volatile",
         "ordinary", false,
         [](const std::string&) {
             RegKey parent = RegKey::OpenCurrentUser("Software", RegAccess::All);
             const RegKey key = parent.CreateSubKey("Vol", RegAccess::All, true);
             if (!key.IsOpen()) return std::string("<absent>");
             // A volatile key takes no ordinary subkey below it.
             return std::string(
                 key.CreateSubKey("Sub", RegAccess::All, false).IsOpen() ? "ordinary" : "volatile");
         }},
        {"brand table", HostDirFiles::Path(HostDirFiles::kBrandTable),
         HostCrypt::EncodeBuffer("<cards/>", kWorkingKey), "<cards/>", "<failed>", true,
         [this](const std::string& path) {
             std::string text;
             return ReadCryptFile(&host.container, path, text) ? text : "<failed>";
         }},
        {"plug-in list", dir.File("install/plugins.xml"),
         "<main><plugin><channel>a</channel><alias>b</alias><clsid>c</clsid></plugin></main>", "1",
         "<failed>", true,
         [](const std::string& path) {
             std::vector<PluginRecord> records;
             return ReadPluginListFile(path, records) ? std::to_string(records.size()) : "<failed>";
         }},
    };
    for (const Reader& reader : readers) {
        for (Kind kind :
             {Kind::kRegular, Kind::kFifo, Kind::kLink, Kind::kDirectory, Kind::kHuge}) {
            SCOPED_TRACE(std::string(reader.name) + " " + std::to_string(static_cast<int>(kind)));
            std::error_code ec;
            fs::remove_all(reader.path, ec);
            Place(kind, reader.path, reader.bytes);
            const bool bGood =
                kind == Kind::kRegular || (kind == Kind::kLink && reader.bFollowsLinks);
            EXPECT_EQ(reader.read(reader.path), bGood ? reader.good : reader.bad);
            fs::remove_all(reader.path, ec);
        }
    }
}

}  // namespace
