// What the kesti command asks the operating system, and the library never
// does: where the command's tables are, whether two paths name one file,
// and how its output reaches a file or a stream. Built into the command,
// not into libkesti.so.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>

namespace kesti {

// The tables directory for the command: KESTI_TABLE_DIR when set, else
// share/kesti beside the directory that holds the program. Empty when
// unknown.
std::string ProgramTableDirectory();

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    bool directory = false;
    bool regular = false;
};

// Identifies the file at `path` (following links), or standard input.
// False with errno in `error` when it cannot be examined.
bool IdentifyPath(const std::string& path, FileIdentity& identity, int& error);
bool IdentifyStandardInput(FileIdentity& identity, int& error);
// The file behind an open descriptor (standard output, say).
bool IdentifyDescriptor(int fd, FileIdentity& identity, int& error);

inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
}

// Whether two paths name the same file: the same device and inode when both
// exist; otherwise the same canonical path (links and "." resolved), so that
// two names of a file not made yet ("out.txt", "./out.txt") are one file.
bool SamePath(const std::string& a, const std::string& b);

// A stream buffer over a file descriptor that remembers why a read or a
// write failed (errno), so that the command can name the reason: "Broken
// pipe", "No space left on device". It does not own the descriptor.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}
    int error() const { return error_; }
    int fd() const { return fd_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int sync() override;
    int_type underflow() override;

private:
    bool Flush();
    int fd_;
    int error_ = 0;
    char out_[64 * 1024];
    std::size_t used_ = 0;
    char in_[64 * 1024];
};

// The file the command writes with -o. A path that names a symbolic link
// writes to the link's target and keeps the link. A target that exists and
// is not a regular file (a FIFO, a device such as /dev/null) is written
// directly. A regular file, or a new one, is written through a temporary
// file beside it, created with the process's umask (and the old file's
// permissions when it replaces one), and renamed over it by Commit: the old
// file is untouched until everything has been written. The temporary name
// is the target's with a random suffix, the target's part cut short where
// the whole would pass the file system's limit on a name.
struct OutputFile {
    std::string path;       // as given
    std::string target;     // what is written in the end
    std::string temporary;  // the file being written, or empty when writing directly
    int fd = -1;

    OutputFile() = default;
    ~OutputFile();  // closes, and removes an uncommitted temporary file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path, int& error);
    bool Commit(int& error);
};

}  // namespace kesti
