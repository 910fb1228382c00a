#include "platform/files.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <stdio.h>
#endif

namespace kesti {

bool RegularFileSize(std::FILE* file, std::size_t& size) noexcept {
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

}  // namespace kesti
