// Files that only the user's own process writes: an append log that a link or another user's
// file can never redirect, and the rename that moves such a file aside.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Opens path for appending in binary mode, creating it readable and writable by the user only
// (on POSIX; on Windows it takes the access list of its directory). Null, with nothing written,
// when path is a symbolic link (or another reparse point), not a regular file, has more than one
// link, or belongs to another user, or when it cannot be opened. size: its length when opened.
std::FILE* OpenOwnFileForAppend(const std::string& path, uint64_t& size);

// The open file's length now (other processes append to it too), and whether path still names
// it: false when it was moved aside or removed (by another process) since it was opened.
bool OwnFileStillAt(std::FILE* file, const std::string& path, uint64_t& size);

// Renames from to to, replacing a file at to; a link at either name is renamed, never followed.
bool RenameReplacing(const std::string& from, const std::string& to);
