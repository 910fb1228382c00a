#include "cli/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KESTI_BIN_TO_TABLES
#define KESTI_BIN_TO_TABLES "../share/kesti"
#endif

namespace kesti {

std::string ProgramTableDirectory() {
    if (const char* value = std::getenv("KESTI_TABLE_DIR"); value && *value) return value;
    char resolved[PATH_MAX];
    if (!realpath("/proc/self/exe", resolved)) return {};
    std::string path = resolved;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    path.resize(slash + 1);
    return path + KESTI_BIN_TO_TABLES;
}

namespace {

void Fill(const struct stat& info, FileIdentity& identity) {
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.directory = S_ISDIR(info.st_mode);
    identity.regular = S_ISREG(info.st_mode);
}

// The file a path finally names: a symbolic link's target, followed through
// every link, also when the target does not exist yet.
std::string Resolve(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof link - 1);
        if (length < 0) return current;
        link[length] = '\0';
        if (link[0] == '/') {
            current = link;
        } else {
            const std::size_t slash = current.rfind('/');
            current = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + link;
        }
    }
    return current;
}

}  // namespace

bool IdentifyPath(const std::string& path, FileIdentity& identity, int& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = errno;
        return false;
    }
    Fill(info, identity);
    return true;
}

bool IdentifyStandardInput(FileIdentity& identity, int& error) {
    return IdentifyDescriptor(STDIN_FILENO, identity, error);
}

bool IdentifyDescriptor(int fd, FileIdentity& identity, int& error) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = errno;
        return false;
    }
    Fill(info, identity);
    return true;
}

namespace {

// A path with links and "." and ".." resolved, also for a file not made
// yet (its directory is resolved, its name kept); the path itself when its
// directory cannot be resolved either.
std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    const std::string target = Resolve(path);
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (!realpath(directory.c_str(), resolved)) return target;
    return std::string(resolved) + "/" + target.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
    FileIdentity first, second;
    int error = 0;
    if (IdentifyPath(a, first, error) && IdentifyPath(b, second, error)) return SameFile(first, second);
    return Canonical(a) == Canonical(b);
}

bool DescriptorBuffer::Flush() {
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t wrote = write(fd_, out_ + done, used_ - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            used_ = 0;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    used_ = 0;
    return true;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (error_) return traits_type::eof();
    if (used_ == sizeof out_ && !Flush()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    out_[used_++] = traits_type::to_char_type(c);
    return c;
}

std::streamsize DescriptorBuffer::xsputn(const char* data, std::streamsize size) {
    if (error_) return 0;
    std::streamsize done = 0;
    while (done < size) {
        if (used_ == sizeof out_ && !Flush()) return done;
        const std::size_t room = sizeof out_ - used_;
        const std::size_t take = std::min<std::size_t>(room, static_cast<std::size_t>(size - done));
        std::memcpy(out_ + used_, data + done, take);
        used_ += take;
        done += static_cast<std::streamsize>(take);
    }
    return done;
}

int DescriptorBuffer::sync() { return error_ || !Flush() ? -1 : 0; }

DescriptorBuffer::int_type DescriptorBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    for (;;) {
        const ssize_t got = read(fd_, in_, sizeof in_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = errno;
        if (got <= 0) return traits_type::eof();
        setg(in_, in_, in_ + got);
        return traits_type::to_int_type(*gptr());
    }
}

OutputFile::~OutputFile() {
    if (fd >= 0) close(fd);
    if (!temporary.empty()) unlink(temporary.c_str());
}

bool OutputFile::Open(const std::string& given, int& error) {
    path = given;
    target = Resolve(given);
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A FIFO, a device, a socket: written into, never replaced.
        fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) error = errno;
        return fd >= 0;
    }
    // A name of our own beside the target, created exclusively with mode
    // 0666 so that the process's umask applies as to any new file. The
    // target's own name is cut so that the whole stays within the file
    // system's limit: a legal name of 250 bytes must not fail for ours.
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    long nameMax = pathconf(directory.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = 255;
    constexpr std::size_t kSuffix = 19;  // ".kesti-" and twelve hex digits
    const std::size_t keep = static_cast<std::size_t>(nameMax) > kSuffix + 1
                                 ? std::min(target.size() - nameStart, static_cast<std::size_t>(nameMax) - kSuffix)
                                 : 1;
    const std::string stem = target.substr(0, nameStart + keep);
    std::random_device device;
    std::mt19937_64 random((static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[kSuffix + 1];
        std::snprintf(suffix, sizeof suffix, ".kesti-%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        const std::string name = stem + suffix;
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary = name;
            // Replacing a file keeps its permissions.
            if (exists) fchmod(fd, info.st_mode & 07777);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    return false;
}

bool OutputFile::Commit(int& error) {
    const int descriptor = fd;
    fd = -1;
    if (close(descriptor) != 0) {
        error = errno;
        return false;
    }
    if (temporary.empty()) return true;
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        return false;
    }
    temporary.clear();
    return true;
}

}  // namespace kesti
