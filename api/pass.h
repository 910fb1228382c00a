// The conversion pass and the library's internal C++ interface.
//
// The pass walks the input once from left to right. At a letter it asks the
// table for the longest acceptable key; a match is replaced by its value in
// the case of the matched input, anything else is copied byte for byte. A
// failed lookup gives up one byte only, so the next letter is tried again:
// with keys "chang" and "tung", "xchang" gives "xzhang" and "tungtung" gives
// "tungdong", while "changx" is copied unchanged.
//
// Unlike the exported functions, this interface knows the size of its output
// and can be driven chunk by chunk, for callers that stream large inputs.
#pragma once

#include <cstddef>

#include "table/table.h"

namespace kesti {

struct PassProgress {
    std::size_t consumed;  // input bytes converted
    std::size_t written;   // output bytes produced
};

// Converts input[0, size) into output[0, capacity), without a NUL.
//
// It stops at the end of the input; when `final` is false, as soon as fewer
// than table.maxKeyLength + 1 input bytes remain after the cursor (a match
// could need them); and before a piece that does not fit in the output. The
// caller continues from input + consumed, with more input or a drained
// output: converting in pieces gives exactly the bytes of converting the
// whole input at once. An output of at least table.maxValueLength bytes, and
// at least one, always makes progress. NUL bytes in the input are ordinary
// non-letters and are copied.
PassProgress RunConversionPass(const ConversionTable& table, const char* input, std::size_t size, bool final,
                               char* output, std::size_t capacity);

// Appends `value` to `output` in the given case; returns the bytes written.
// `output` must have room for the value's length.
std::size_t EmitValue(const char* value, std::size_t length, CaseMode mode, char* output);

}  // namespace kesti
