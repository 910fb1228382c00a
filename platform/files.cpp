#include "platform/files.h"

#include <cerrno>
#include <sys/stat.h>
#ifdef _WIN32
#include <stdio.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kesti {

#ifdef _WIN32

InputFile::InputFile(const char* path) noexcept : file_(std::fopen(path, "rb")) {
    // The reads go straight into the caller's buffer.
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
}

InputFile::~InputFile() {
    if (file_) std::fclose(file_);
}

bool InputFile::IsOpen() const noexcept { return file_ != nullptr; }

bool InputFile::RegularSize(std::size_t& size) const noexcept {
    struct _stat64 info;
    if (_fstat64(_fileno(file_), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
    size = static_cast<std::size_t>(info.st_size);
    return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t capacity) noexcept {
    const std::size_t got = std::fread(buffer, 1, capacity, file_);
    if (got < capacity && std::ferror(file_)) return -1;
    return static_cast<std::ptrdiff_t>(got);
}

#else

InputFile::InputFile(const char* path) noexcept {
    do {
        descriptor_ = open(path, O_RDONLY | O_CLOEXEC);
    } while (descriptor_ < 0 && errno == EINTR);
}

InputFile::~InputFile() {
    if (descriptor_ >= 0) close(descriptor_);
}

bool InputFile::IsOpen() const noexcept { return descriptor_ >= 0; }

bool InputFile::RegularSize(std::size_t& size) const noexcept {
    struct stat info;
    if (fstat(descriptor_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size = static_cast<std::size_t>(info.st_size);
    return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t capacity) noexcept {
    for (;;) {
        const ssize_t got = read(descriptor_, buffer, capacity);
        if (got >= 0 || errno != EINTR) return got;
    }
}

#endif

}  // namespace kesti
