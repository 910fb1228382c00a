#include "platform/table_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#endif

// Where the tables lie relative to the library's own directory; the build
// passes the value that matches its install layout.
#ifndef KESTI_LIB_TO_TABLES
#define KESTI_LIB_TO_TABLES "../share/kesti"
#endif

namespace kesti {

#ifdef _WIN32

std::uint32_t GetTableDirectory(char* buffer, std::uint32_t size, std::int32_t& errorCode) noexcept {
    const UINT length = GetWindowsDirectoryA(buffer, size);
    if (length == 0) {
        errorCode = static_cast<std::int32_t>(GetLastError());
        if (errorCode == 0) errorCode = ERROR_PATH_NOT_FOUND;
    }
    return length;
}

#else

namespace {

// Copies `length` bytes and a NUL, or says how much room that needs.
std::uint32_t Deliver(char* buffer, std::uint32_t size, const char* text, std::size_t length) noexcept {
    if (length >= size) return length >= UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(length + 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

}  // namespace

std::uint32_t GetTableDirectory(char* buffer, std::uint32_t size, std::int32_t& errorCode) noexcept {
    if (const char* value = std::getenv("KESTI_TABLE_DIR"); value && *value)
        return Deliver(buffer, size, value, std::strlen(value));

    // The library's own file, with links resolved, gives its directory.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetTableDirectory), &info) == 0 || !info.dli_fname || !*info.dli_fname) {
        errorCode = ENOENT;
        return 0;
    }
    char resolved[PATH_MAX];
    const char* file = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    const char* slash = std::strrchr(file, '/');
    if (!slash) {
        errorCode = ENOENT;
        return 0;
    }
    // "dir/" then the relative path: assembled in a buffer of the most a
    // path can hold, then delivered whole or not at all.
    const std::size_t directory = static_cast<std::size_t>(slash - file) + 1;
    const std::size_t relative = sizeof KESTI_LIB_TO_TABLES - 1;
    char path[PATH_MAX + sizeof KESTI_LIB_TO_TABLES];
    if (directory + relative >= sizeof path) {
        errorCode = ENAMETOOLONG;
        return 0;
    }
    std::memcpy(path, file, directory);
    std::memcpy(path + directory, KESTI_LIB_TO_TABLES, relative);
    return Deliver(buffer, size, path, directory + relative);
}

#endif

}  // namespace kesti
