// What the library and the command ask the operating system about files:
// a table file's size before it is read, and, for the command's output,
// whether two paths are the same file and a temporary file to write first.
// Nothing here reads or writes file contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kesti {

// The size of the regular file open as `file`. False for a pipe, a device
// or anything else whose size says nothing about what reading will give.
bool RegularFileSize(std::FILE* file, std::size_t& size);

#ifndef _WIN32
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool directory = false;
};

// Identifies the file at `path`, or standard input for "-". On failure
// returns false with errno in `error`.
bool IdentifyFile(const std::string& path, FileIdentity& identity, int& error);

inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
}

// Creates a new empty file beside `target`, named after it with a unique
// suffix, with the permissions `target` has or, when it does not exist yet,
// those a new file gets. Returns its path; empty with errno in `error` on
// failure.
std::string CreateTemporaryBeside(const std::string& target, int& error);
#endif

}  // namespace kesti
