// The text mode's shipped tables, loaded once for every input a fuzz
// target tries.
#pragma once

#include "fuzz/fuzz_input.h"
#include "prose/prose.h"

namespace kesti {

inline const TextTables& ShippedTables() {
    static const TextTables tables = [] {
        TextTables t;
        TablesError error;
        FUZZ_CHECK(LoadTextTables(KESTI_DATA_DIR, t, error));
        return t;
    }();
    return tables;
}

}  // namespace kesti
