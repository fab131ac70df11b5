// The registry facility as the engine uses it, against the platform's own registry (the file
// store on POSIX, the real registry under Wine).
#include <gtest/gtest.h>

#include "RegistrySandbox.h"
#include "platform/registry.h"

namespace {

const std::string kBase = SANDBOX_TEST_KEY;

bool Opens(const std::string& path) {
    return RegKey::OpenCurrentUser(path, RegAccess::Read).IsOpen();
}

class RegistryApiTest : public ::testing::Test {
protected:
    RegKey Base(RegAccess access = RegAccess::All) {
        sandbox.CreateKey(kBase);
        return RegKey::OpenCurrentUser(kBase, access);
    }
    RegistrySandbox sandbox;
};

TEST_F(RegistryApiTest, NoKeyIsEverMadeImplicitly) {
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase, RegAccess::All).IsOpen());
    EXPECT_FALSE(Opens(kBase + "\\A\\B"));
    EXPECT_FALSE(sandbox.KeyExists(kBase));

    sandbox.CreateKey(kBase + "\\A");
    // Separators at the ends or doubled name the same key.
    EXPECT_TRUE(Opens(kBase + "\\A\\"));
    EXPECT_TRUE(Opens("\\" + kBase + "\\\\A"));
    EXPECT_FALSE(Opens(kBase + "\\A\\B"));
    // CreateSubKey makes one key at a time.
    RegKey a = RegKey::OpenCurrentUser(kBase + "\\A", RegAccess::All);
    EXPECT_FALSE(a.CreateSubKey("X\\Y", RegAccess::All, false).IsOpen());
    EXPECT_FALSE(sandbox.KeyExists(kBase + "\\A\\X"));
}

TEST_F(RegistryApiTest, VolatilityIsChosenOnCreationOnlyAndPassesToChildren) {
    RegKey base = Base();
    RegKey lasting = base.CreateSubKey("Child", RegAccess::All, false);
    ASSERT_TRUE(lasting.SetStringValue("V", "kept"));
    // Asking again opens the same key with its value, still lasting.
    ASSERT_TRUE(base.CreateSubKey("Child", RegAccess::All, true).IsOpen());
    EXPECT_FALSE(sandbox.IsVolatile(kBase + "\\Child"));
    EXPECT_EQ(sandbox.GetString(kBase + "\\Child", "V"), "kept");

    RegKey gone = base.CreateSubKey("Gone", RegAccess::All, true);
    ASSERT_TRUE(gone.IsOpen());
    EXPECT_TRUE(sandbox.IsVolatile(kBase + "\\Gone"));
    EXPECT_FALSE(gone.CreateSubKey("Stays", RegAccess::All, false).IsOpen());
    EXPECT_TRUE(gone.CreateSubKey("AlsoGone", RegAccess::All, true).IsOpen());
    EXPECT_TRUE(sandbox.IsVolatile(kBase + "\\Gone\\AlsoGone"));
}

TEST_F(RegistryApiTest, StringValuesComeBackWithTheirTerminatorIntoBoundedBuffers) {
    RegKey key = Base();
    ASSERT_TRUE(key.SetStringValue("Name", "0123456789"));
    uint32_t size = 0;
    ASSERT_TRUE(key.QueryValue("Name", nullptr, size));
    EXPECT_EQ(size, 11u);
    char exact[11];
    size = sizeof exact;
    ASSERT_TRUE(key.QueryValue("Name", exact, size));
    EXPECT_EQ(size, 11u);
    EXPECT_STREQ(exact, "0123456789");
    // A value that does not fit fails and says what it needs.
    size = 10;
    EXPECT_FALSE(key.QueryValue("Name", exact, size));
    EXPECT_EQ(size, 11u);
    size = sizeof exact;
    EXPECT_FALSE(key.QueryValue("Missing", exact, size));
    // Written values replace the old ones; the text ends at an embedded zero.
    ASSERT_TRUE(key.SetStringValue("Name", std::string("ab\0cd", 5)));
    size = 0;
    ASSERT_TRUE(key.QueryValue("Name", nullptr, size));
    EXPECT_EQ(size, 3u);
}

TEST_F(RegistryApiTest, AKeyOpenedForReadingIsNotWritten) {
    RegKey key = Base(RegAccess::Read);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.SetStringValue("Name", "x"));
    EXPECT_FALSE(key.CreateSubKey("Child", RegAccess::All, false).IsOpen());
    EXPECT_EQ(sandbox.GetString(kBase, "Name"), "<none>");
    EXPECT_FALSE(sandbox.KeyExists(kBase + "\\Child"));
}

}  // namespace
