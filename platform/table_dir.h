// The one place that asks the operating system where the tables are.
//
// On Windows the tables lie in the Windows directory. On Linux the
// environment variable KESTI_TABLE_DIR names the directory when it is set and
// not empty; otherwise it is the tables directory installed beside the
// library (share/kesti next to its lib directory), found from the library's
// own location, so that it works in the build tree and after installing to
// any prefix without configuration.
//
// Nothing here allocates or throws: the exported functions call it, and no
// exception may reach their caller.
#pragma once

#include <cstdint>

namespace kesti {

inline constexpr std::uint32_t kDirectoryCapacity = 260;  // characters, NUL included

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Writes the tables directory, NUL-terminated, into `buffer` of `size` bytes,
// in the manner of GetWindowsDirectoryA: returns its length (> 0) on success;
// a value >= size when it does not fit (nothing usable is written); or 0 when
// no directory can be determined, with the platform's error code, never 0,
// in `errorCode`.
std::uint32_t GetTableDirectory(char* buffer, std::uint32_t size, std::int32_t& errorCode) noexcept;

}  // namespace kesti
