// On POSIX the key file is the user's alone, and a rewrite keeps it so.
#include <gtest/gtest.h>
#include <sys/stat.h>  // umask, chmod

#include "FakeHost.h"
#include "KeyStore.h"
#include "TempDir.h"

namespace {

TEST(KeyStoreModeTest, TheKeyFileIsPrivateToTheUser) {
    TempDir dir;
    FakeHost host;
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.WithSeparator());
    const mode_t old = umask(0);  // even a permissive umask gives a private file
    KeyStore(&host.container).Create();
    const std::string keyFile = dir.File("Key.dtc");
    EXPECT_EQ(FileMode(keyFile), 0600u);
    chmod(keyFile.c_str(), 0644);
    ASSERT_TRUE(KeyStore::Write(keyFile, "pw"));
    EXPECT_EQ(FileMode(keyFile), 0600u);
    umask(old);
}

}  // namespace
