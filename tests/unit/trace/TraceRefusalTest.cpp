// The trace is opened only as the user's own regular file: a name that leads to someone else's
// file (a symbolic link, a file of another user) or to a pipe gets nothing. Hard links: see
// TraceBoundsTest, which runs on both systems.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TempDir.h"
#include "libs/trace/NorvaTrace.h"
#include "libs/trace/Trace.h"
#include "libs/trace/TracePath.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TraceRefusalTest, ASymbolicLinkOrAPipeIsNeverWrittenTo) {
    TempDir dir;
    const std::string victim = dir.File("victim.conf");
    std::ofstream(victim, std::ios::binary) << "victim\n";

    const std::string symlinkName = dir.File("symlink.log");
    ASSERT_EQ(symlink(victim.c_str(), symlinkName.c_str()), 0);
    CNorvaTrace::instance(symlinkName)->Traceout(1, "M", "S", 1, "through a symbolic link");
    EXPECT_EQ(Contents(victim), "victim\n");
    EXPECT_TRUE(std::filesystem::is_symlink(symlinkName));

    const std::string fifoName = dir.File("fifo.log");
    ASSERT_EQ(mkfifo(fifoName.c_str(), 0600), 0);
    // Would block for good if the open waited for a reader.
    CNorvaTrace::instance(fifoName)->Traceout(1, "M", "S", 3, "into a pipe");
}

TEST(TraceRefusalTest, AFileOfAnotherUserIsNeverWrittenTo) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    TempDir dir;
    const std::string name = dir.File("others.log");
    std::ofstream(name) << "theirs\n";
    ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);  // nobody
    CNorvaTrace::instance(name)->Traceout(1, "M", "S", 1, "into another user's file");
    EXPECT_EQ(Contents(name), "theirs\n");
}

TEST(TraceRefusalTest, TheHostNamesTheDirectoryOfTheTraceFile) {
    TempDir dir;
    ASSERT_EQ(setenv(TRACE_DIR_VARIABLE, dir.Path().c_str(), 1), 0);
    CNorvaTrace::instance(NORVA_TRACE_FILE)->Traceout(4, "M", "S", 5, "in the named directory");
    // The directory is read once: a later change does not move the file.
    ASSERT_EQ(setenv(TRACE_DIR_VARIABLE, "/nonexistent", 1), 0);
    CNorvaTrace::instance(NORVA_TRACE_FILE)->Traceout(4, "M", "S", 6, "still there");
    unsetenv(TRACE_DIR_VARIABLE);

    const std::string text = Contents(dir.File("norvamts_trace_0.log"));
    EXPECT_NE(text.find("INFO M S:5 in the named directory\n"), std::string::npos) << text;
    EXPECT_NE(text.find("INFO M S:6 still there\n"), std::string::npos) << text;
}

}  // namespace
