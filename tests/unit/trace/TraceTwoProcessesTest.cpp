// Two processes that trace into one directory, their records interleaved: the file's bound holds
// for the two together, and neither goes on writing into a file the other moved aside.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "libs/trace/TraceFile.h"

namespace {

// A writer process: one record of `line` for each byte its turn gives, answered on `done` once
// written, until the turn ends. `other`: the turn of a writer started before, not to be held.
struct Writer {
    pid_t pid = -1;
    int turn = -1;
    int done = -1;
};

Writer StartWriter(const std::string& path, const std::string& line, int other) {
    int turn[2];
    int done[2];
    Writer writer;
    if (pipe(turn) != 0 || pipe(done) != 0) return writer;
    writer.pid = fork();
    if (writer.pid == 0) {
        close(turn[1]);
        close(done[0]);
        if (other >= 0) close(other);
        TraceFile file(path);
        char token = 0;
        while (read(turn[0], &token, 1) == 1) {
            file.Append(line);
            if (write(done[1], &token, 1) != 1) break;
        }
        _exit(0);
    }
    close(turn[0]);
    close(done[1]);
    writer.turn = turn[1];
    writer.done = done[0];
    return writer;
}

TEST(TraceTwoProcessesTest, TheBoundHoldsForTwoWritersOfOneFile) {
    TempDir dir;
    const std::string path = dir.File("trace.log");
    const std::string line(1000, 'r');
    Writer writers[2];
    writers[0] = StartWriter(path, line + "\n", -1);
    writers[1] = StartWriter(path, line + "\n", writers[0].turn);
    ASSERT_GT(writers[0].pid, 0);
    ASSERT_GT(writers[1].pid, 0);
    // Nearly two bounds' worth, the two writers' records taking turns one at a time: a writer
    // that counted only its own records would never find the file full.
    char token = 'x';
    for (uint64_t written = 0; written + 16 * (line.size() + 1) < 2 * kTraceFileBytes;
         written += line.size() + 1) {
        const Writer& next = writers[(written / (line.size() + 1)) % 2];
        ASSERT_EQ(write(next.turn, &token, 1), 1);
        ASSERT_EQ(read(next.done, &token, 1), 1);
    }
    for (Writer& writer : writers) {
        close(writer.turn);
        close(writer.done);
        int status = 0;
        ASSERT_EQ(waitpid(writer.pid, &status, 0), writer.pid);
    }
    for (const std::string& file : {path, path + ".1"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(std::filesystem::exists(file));
        EXPECT_LE(std::filesystem::file_size(file), kTraceFileBytes);
        EXPECT_GT(std::filesystem::file_size(file), 0u);
    }
}

}  // namespace
