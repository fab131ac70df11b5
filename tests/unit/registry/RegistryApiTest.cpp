// The registry facility as the engine uses it, against the platform's own registry (the file
// store on POSIX, the real registry under Wine).
#include <gtest/gtest.h>

#include <cstring>

#include "RegistrySandbox.h"
#include "platform/registry.h"

namespace {

const std::string kBase = SANDBOX_TEST_KEY;

class RegistryApiTest : public ::testing::Test {
protected:
    RegistrySandbox sandbox;
};

TEST_F(RegistryApiTest, OpeningAMissingKeyFailsAndMakesNothing) {
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase, RegAccess::All).IsOpen());
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase + "\\A\\B", RegAccess::Read).IsOpen());
    EXPECT_FALSE(sandbox.KeyExists(kBase));

    sandbox.CreateKey(kBase + "\\A");
    EXPECT_TRUE(RegKey::OpenCurrentUser(kBase + "\\A", RegAccess::All).IsOpen());
    // Separators at the ends or doubled name the same key.
    EXPECT_TRUE(RegKey::OpenCurrentUser(kBase + "\\A\\", RegAccess::Read).IsOpen());
    EXPECT_TRUE(RegKey::OpenCurrentUser("\\" + kBase + "\\\\A", RegAccess::Read).IsOpen());
    EXPECT_FALSE(RegKey::OpenCurrentUser(kBase + "\\A\\B", RegAccess::Read).IsOpen());
}

TEST_F(RegistryApiTest, CreateSubKeyMakesOneKeyOrOpensTheExistingOne) {
    sandbox.CreateKey(kBase);
    RegKey base = RegKey::OpenCurrentUser(kBase, RegAccess::All);
    ASSERT_TRUE(base.IsOpen());

    RegKey made = base.CreateSubKey("Child", RegAccess::All, false);
    ASSERT_TRUE(made.IsOpen());
    EXPECT_TRUE(sandbox.KeyExists(kBase + "\\Child"));
    EXPECT_FALSE(sandbox.IsVolatile(kBase + "\\Child"));
    ASSERT_TRUE(made.SetStringValue("V", "kept"));

    // Asking again opens the same key with its value; the option does not change an existing key.
    RegKey again = base.CreateSubKey("Child", RegAccess::All, true);
    ASSERT_TRUE(again.IsOpen());
    EXPECT_FALSE(sandbox.IsVolatile(kBase + "\\Child"));
    std::string value;
    ASSERT_TRUE(sandbox.GetString(kBase + "\\Child", "V", value));
    EXPECT_EQ(value, "kept");

    // Only one key at a time: no parents are made on the way.
    EXPECT_FALSE(base.CreateSubKey("X\\Y", RegAccess::All, false).IsOpen());
    EXPECT_FALSE(sandbox.KeyExists(kBase + "\\X"));
}

TEST_F(RegistryApiTest, VolatileKeysAreMarkedAndTheirChildrenMustBeVolatileToo) {
    sandbox.CreateKey(kBase);
    RegKey base = RegKey::OpenCurrentUser(kBase, RegAccess::All);
    RegKey key = base.CreateSubKey("Gone", RegAccess::All, true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(sandbox.IsVolatile(kBase + "\\Gone"));
    EXPECT_FALSE(key.CreateSubKey("Stays", RegAccess::All, false).IsOpen());
    EXPECT_TRUE(key.CreateSubKey("AlsoGone", RegAccess::All, true).IsOpen());
    EXPECT_TRUE(sandbox.IsVolatile(kBase + "\\Gone\\AlsoGone"));
}

TEST_F(RegistryApiTest, StringValuesComeBackWithTheirTerminatorIntoBoundedBuffers) {
    sandbox.CreateKey(kBase);
    RegKey key = RegKey::OpenCurrentUser(kBase, RegAccess::All);
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
    char small[10] = {};
    size = sizeof small;
    EXPECT_FALSE(key.QueryValue("Name", small, size));
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
    sandbox.CreateKey(kBase);
    RegKey key = RegKey::OpenCurrentUser(kBase, RegAccess::Read);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.SetStringValue("Name", "x"));
    EXPECT_FALSE(key.CreateSubKey("Child", RegAccess::All, false).IsOpen());
    std::string value;
    EXPECT_FALSE(sandbox.GetString(kBase, "Name", value));
    EXPECT_FALSE(sandbox.KeyExists(kBase + "\\Child"));
}

}  // namespace
