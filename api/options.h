// What a kesti_options asks of the text mode, as the library and the
// command read it: one mapping from the C interface's values.
#pragma once

#include "kesti/kesti.h"
#include "prose/prose.h"

namespace kesti {

// The text options of `o` (its choices, lines); the encoding is UTF-8.
TextOptions TextOptionsOf(const kesti_options& o);

}  // namespace kesti
