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
    if (!file_) return;
    struct _stat64 info;
    if (_fstat64(_fileno(file_), &info) == 0 && (info.st_mode & _S_IFMT) != _S_IFREG) {
        const bool directory = (info.st_mode & _S_IFMT) == _S_IFDIR;
        std::fclose(file_);
        file_ = nullptr;
        notRegular_ = !directory;
        errno = directory ? EISDIR : EINVAL;
        return;
    }
    // The reads go straight into the caller's buffer.
    std::setvbuf(file_, nullptr, _IONBF, 0);
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
    // O_NONBLOCK: opening a FIFO for reading waits for a writer otherwise.
    do {
        descriptor_ = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) return;
    struct stat info;
    if (fstat(descriptor_, &info) != 0) {
        const int error = errno;
        close(descriptor_);
        descriptor_ = -1;
        errno = error;
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        close(descriptor_);
        descriptor_ = -1;
        notRegular_ = !S_ISDIR(info.st_mode);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return;
    }
    // Reads of a regular file never block; the flag is dropped all the same
    // so that the descriptor reads as any other.
    fcntl(descriptor_, F_SETFL, fcntl(descriptor_, F_GETFL) & ~O_NONBLOCK);
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
