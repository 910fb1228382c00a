#include "platform/files.h"

#include <cerrno>

#include <sys/stat.h>
#ifdef _WIN32
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace kesti {

bool RegularFileSize(std::FILE* file, std::size_t& size) {
#ifdef _WIN32
    struct _stat64 info;
    if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
#endif
    size = static_cast<std::size_t>(info.st_size);
    return true;
}

#ifndef _WIN32
bool IdentifyFile(const std::string& path, FileIdentity& identity, int& error) {
    struct stat info {};
    const int rc = path == "-" ? fstat(STDIN_FILENO, &info) : stat(path.c_str(), &info);
    if (rc != 0) {
        error = errno;
        return false;
    }
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.directory = S_ISDIR(info.st_mode);
    return true;
}

std::string CreateTemporaryBeside(const std::string& target, int& error) {
    std::string pattern = target + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = errno;
        return {};
    }
    // mkstemp makes the file private; it replaces `target` in the end, so it
    // gets the old file's mode, or the usual mode under the umask.
    struct stat old {};
    mode_t mode;
    if (stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    close(fd);
    return pattern;
}
#endif

}  // namespace kesti
