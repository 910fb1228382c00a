#include "platform/table_dir.h"

#include <algorithm>
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
#include <unistd.h>
#endif

// Where the tables lie relative to the library's and the program's own
// directories; the build passes the values that match its install layout.
#ifndef KESTI_LIB_TO_TABLES
#define KESTI_LIB_TO_TABLES "../share/kesti"
#endif
#ifndef KESTI_BIN_TO_TABLES
#define KESTI_BIN_TO_TABLES "../share/kesti"
#endif

namespace kesti {

#ifdef _WIN32

std::uint32_t GetTableDirectory(char* buffer, std::uint32_t size, std::int32_t& errorCode) {
    const UINT length = GetWindowsDirectoryA(buffer, size);
    if (length == 0) {
        errorCode = static_cast<std::int32_t>(GetLastError());
        if (errorCode == 0) errorCode = ERROR_PATH_NOT_FOUND;
    }
    return length;
}

std::string ProgramTableDirectory() {
    char buffer[kDirectoryCapacity];
    std::int32_t error = 0;
    const std::uint32_t length = GetTableDirectory(buffer, sizeof buffer, error);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

#else

namespace {

// "dir/file" -> "dir/relative"; empty when the path has no directory part.
std::string Sibling(const char* file, const char* relative) {
    std::string path;
    if (char* resolved = realpath(file, nullptr)) {
        path = resolved;
        std::free(resolved);
    } else {
        path = file;
    }
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    path.resize(slash + 1);
    return path + relative;
}

std::string FromEnvironment() {
    const char* value = std::getenv("KESTI_TABLE_DIR");
    return value ? value : "";
}

}  // namespace

std::uint32_t GetTableDirectory(char* buffer, std::uint32_t size, std::int32_t& errorCode) {
    std::string directory = FromEnvironment();
    if (directory.empty()) {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&GetTableDirectory), &info) == 0 || !info.dli_fname ||
            !*info.dli_fname) {
            errorCode = ENOENT;
            return 0;
        }
        directory = Sibling(info.dli_fname, KESTI_LIB_TO_TABLES);
        if (directory.empty()) {
            errorCode = ENOENT;
            return 0;
        }
    }
    const std::size_t length = directory.size();
    if (length >= size) return static_cast<std::uint32_t>(std::min<std::size_t>(length + 1, UINT32_MAX));
    std::memcpy(buffer, directory.c_str(), length + 1);
    return static_cast<std::uint32_t>(length);
}

std::string ProgramTableDirectory() {
    std::string directory = FromEnvironment();
    if (!directory.empty()) return directory;
    return Sibling("/proc/self/exe", KESTI_BIN_TO_TABLES);
}

#endif

}  // namespace kesti
