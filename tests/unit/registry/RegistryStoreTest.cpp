// What only the POSIX file store does: how it keeps files, volatile keys across a restart, and
// the system proxy from the environment.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "LoginSettings.h"
#include "RegistrySandbox.h"
#include "TestEnv.h"
#include "platform/registry.h"

namespace fs = std::filesystem;

namespace {

const std::string kBase = SANDBOX_TEST_KEY;

class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryStoreTest() {
        sandbox.CreateKey(kBase);
        base = RegKey::OpenCurrentUser(kBase, RegAccess::All);
    }
    RegistrySandbox sandbox;
    const fs::path dir = fs::path(getenv(LOGIN_REGISTRY_ENV)) / "Software" / "LoginPluginTest";
    RegKey base;
};

TEST_F(RegistryStoreTest, KeysAndValuesArePrivateAndHandWrittenValuesLoseTheirNewline) {
    RegKey child = base.CreateSubKey("Child", RegAccess::All, false);
    base.CreateSubKey("Gone", RegAccess::All, true);
    ASSERT_TRUE(child.SetStringValue("Name", "value text"));
    EXPECT_EQ(sandbox.GetString(kBase + "\\Child", "Name"), "value text");
    EXPECT_EQ(FileMode(dir / "Child"), 0700u);
    EXPECT_EQ(FileMode(dir / "Gone"), 0700u);
    EXPECT_EQ(FileMode(dir / "Child" / "Name"), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Child"), fs::directory_iterator()), 1);
    // A value written by hand (with echo) reads without its final newline.
    sandbox.SetString(kBase, "Proxy", "10.0.0.1:3128\r\n");
    uint32_t size = 0;
    ASSERT_TRUE(base.QueryValue("Proxy", nullptr, size));
    EXPECT_EQ(size, 14u);
}

TEST_F(RegistryStoreTest, AVolatileKeyFromAnEarlierBootReadsAsAbsentAndIsMadeAnew) {
    sandbox.CreateKey(kBase + "\\Old\\Deeper");
    sandbox.SetString(kBase + "\\Old", "Value", "from the last boot");
    std::ofstream(dir / "Old" / ".volatile") << "00000000-0000-0000-0000-000000000000\n";
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase + "\\Old", RegAccess::Read).IsOpen());
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase + "\\Old\\Deeper", RegAccess::Read).IsOpen());

    RegKey fresh = base.CreateSubKey("Old", RegAccess::All, true);
    ASSERT_TRUE(fresh.IsOpen());
    uint32_t size = 0;
    EXPECT_FALSE(fresh.QueryValue("Value", nullptr, size));
    EXPECT_FALSE(sandbox.KeyExists(kBase + "\\Old\\Deeper"));
    // This boot's key opens, and the store's own files never show as values or keys.
    EXPECT_TRUE(RegKey::OpenCurrentUser(kBase + "\\Old", RegAccess::Read).IsOpen());
    EXPECT_FALSE(fresh.QueryValue(".volatile", nullptr, size));
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase + "\\.volatile", RegAccess::Read).IsOpen());
}

TEST_F(RegistryStoreTest, NamesThatAreNotPlainNamesAreRefused) {
    for (const char* name : {"a/b", "..", ""}) EXPECT_FALSE(base.SetStringValue(name, "x")) << name;
    EXPECT_FALSE(base.CreateSubKey("..", RegAccess::All, false).IsOpen());
    EXPECT_FALSE(RegKey::OpenCurrentUser("Software\\..\\..", RegAccess::Read).IsOpen());
    // A key and a value cannot share a name.
    ASSERT_TRUE(base.SetStringValue("Taken", "x"));
    EXPECT_FALSE(base.CreateSubKey("Taken", RegAccess::All, false).IsOpen());
    ASSERT_TRUE(base.CreateSubKey("Dir", RegAccess::All, false).IsOpen());
    EXPECT_FALSE(base.SetStringValue("Dir", "x"));
}

}  // namespace
