// The pieces of splitting a table's text that the whole split (load.cpp)
// and the split for one input (select.cpp) share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/bits.h"
#include "table/table.h"

namespace kesti {

inline bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// A key's first eight bytes folded to lower case, the first byte most
// significant and zero from the key's end on: two heads compare as numbers
// as the keys' first eight bytes compare in the table's order. The key must
// lie in a padded text, so that the word can be read whole.
std::uint64_t OrderHead(const char* key);

// Whether `key` sorts before `previousKey`, given their heads: most pairs
// settle on the heads as one integer compare; keys that agree over all
// eight bytes compare on.
bool OutOfOrder(std::uint64_t previousHead, const char* previousKey, std::uint64_t head, const char* key);

// Zeroes the padding and, for a text cut by the byte limit, drops the
// unfinished last line.
void EndText(char* text, std::size_t size, bool cutAtLimit);

// Sorts the records if they were not in order, and hands the text and the
// records (room for count + 1) to `table`; both are freed if memory for the
// sort runs out.
LoadStatus FinishTable(char* text, TableRecord* records, std::size_t count, std::size_t maxKey, std::size_t maxValue,
                       bool inOrder, ConversionTable& table);

}  // namespace kesti
