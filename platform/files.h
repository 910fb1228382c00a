// Reading a table file: what the library asks of the operating system.
// Nothing here writes files.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kesti {

// A file open for reading, closed with the object. On POSIX systems it is a
// descriptor read with read(2), which spares the calls and the buffer of
// stdio; elsewhere a stdio stream without a buffer of its own.
class InputFile {
public:
    // Opens without blocking, so that a FIFO with no writer cannot hang the
    // caller; only a regular file stays open (see NotRegular).
    explicit InputFile(const char* path) noexcept;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file could not be opened; errno says why, unless
    // NotRegular says it.
    bool IsOpen() const noexcept;
    // True when the path opened but names a FIFO, a device or a socket,
    // which a table is never read from: reading one may block forever or
    // never end. The file is closed again. A directory is reported by errno
    // (EISDIR) instead.
    bool NotRegular() const noexcept { return notRegular_; }
    // The size of a regular file. False for a pipe, a device or anything
    // else whose size says nothing about what reading will give.
    bool RegularSize(std::size_t& size) const noexcept;
    // Reads up to `capacity` bytes: the count, 0 at the end of the file, or
    // -1 with errno set on an error. Fewer bytes than asked from a regular
    // file mean its end was reached.
    std::ptrdiff_t Read(char* buffer, std::size_t capacity) noexcept;

private:
    bool notRegular_ = false;
#ifdef _WIN32
    std::FILE* file_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

}  // namespace kesti
