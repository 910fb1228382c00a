// How a fuzz target reads its bytes: the first byte chooses a mode, the next
// two give the table's length (little-endian, cut to what is there), then
// come the table's bytes and, after them, the text to convert.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kesti::fuzz {

struct FuzzInput {
    unsigned mode = 0;
    std::string table;
    std::string text;
};

inline FuzzInput Split(const std::uint8_t* data, std::size_t size) {
    FuzzInput in;
    if (size < 3) return in;
    in.mode = data[0];
    const std::size_t length = std::min<std::size_t>(data[1] | data[2] << 8, size - 3);
    in.table.assign(reinterpret_cast<const char*>(data) + 3, length);
    in.text.assign(reinterpret_cast<const char*>(data) + 3 + length, size - 3 - length);
    return in;
}

// A failed check: say what and stop, so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

}  // namespace kesti::fuzz
