// Whole-file reads and replacing a file's contents in one step: a reader, or the disk after a
// crash at any instant, sees the old contents or the new, never a mix.
#pragma once

#include <cstddef>
#include <string>

// Writes data to a new file beside path (readable and writable by the user only), flushes it to
// the disk and puts it in place of path. False when a step fails; path is then unchanged.
// A process killed in the middle may leave its temporary file behind (a hidden name on POSIX,
// a .tmp name on Windows); it never leaves path damaged.
bool ReplaceFileAtomically(const std::string& path, const std::string& data);

enum class FileReadResult {
    Ok,
    Missing,  // no file at path, but its directory exists
    Failed,   // anything else: no directory, not a regular file, a link refused, no access, a
              // read error
};

// A symbolic link (or other reparse point) at the file's own name: refused for the files of the
// user's own state (which another local user must not redirect), followed for the files an
// installer puts beside the program.
enum class FileLinks { Refuse, Follow };

// Reads the whole file, or its first maxBytes + 1 bytes when it is larger (so that the caller
// can tell an oversized file without reading all of it). The file is opened without waiting
// (a FIFO or a device at the name cannot hold the caller) and must be a regular file; only then
// is it read. bCreate: opened for reading and writing, made empty when missing.
FileReadResult ReadFileContents(const std::string& path, std::string& data, size_t maxBytes,
                                FileLinks links = FileLinks::Refuse, bool bCreate = false);
