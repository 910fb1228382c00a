// What the library asks the operating system about a table file: its size
// before it is read. Nothing here reads or writes file contents.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kesti {

// The size of the regular file open as `file`. False for a pipe, a device
// or anything else whose size says nothing about what reading will give.
bool RegularFileSize(std::FILE* file, std::size_t& size) noexcept;

}  // namespace kesti
