// On POSIX the trace file, which may hold a failed login's request with its password, is the
// user's alone, however permissive the umask and whatever mode an older file had.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "libs/trace/NorvaTrace.h"
#include "TempDir.h"

namespace {

TEST(TraceFileModeTest, TheTraceFileIsPrivateToTheUser) {
    TempDir dir;
    const mode_t old = umask(0);
    const std::string fresh = dir.File("fresh.log");
    CNorvaTrace::instance(fresh)->Traceout(2, "M", "S", 7, "pass=secret");
    EXPECT_EQ(FileMode(fresh), 0600u);

    const std::string older = dir.File("older.log");
    std::ofstream(older) << "kept\n";
    chmod(older.c_str(), 0644);
    CNorvaTrace::instance(older)->Traceout(4, "M", "S", 8, "appended");
    EXPECT_EQ(FileMode(older), 0600u);
    umask(old);

    std::ifstream in(older);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text.rfind("kept\n", 0), 0u);
    EXPECT_NE(text.find("INFO M S:8 appended\n"), std::string::npos);
}

}  // namespace
