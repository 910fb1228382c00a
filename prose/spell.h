// Spelling a converted word in Pinyin: its syllables' readings (or the word
// table's value) joined as Pinyin writes them, in the word's case, with
// its tones; and the other readings the report lists beside it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "prose/words.h"

namespace kesti {

// Appends the Pinyin of `run` to `out`: `value` (a word-table value) when
// not empty, else its syllables' readings. Syllables are joined, with an
// apostrophe before one that begins with a, o or e ("Xi'an"), or keep
// their hyphens with --hyphens keep; the word's case is kept (lower,
// Capitalized, CAPITALS); a tone number becomes a mark, stays or goes; a
// possessive ending stays as written. `lower` writes it in lower case
// whatever its case (a master's "zi" joined to a name).
void SpellWord(Scope& scope, const Run& run, std::string_view value, std::string& out, bool lower = false);

// Whether how SpellWord joins the syllables of `run` may depend on the
// words around it (names joined by hyphens, each with its capital;
// dynasties in capitals before "DYNASTY"): such a word's spelling is not
// kept for the next time the word is met.
bool SpellingDependsOnPlace(const Scope& scope, const Run& run);

// Other readings of the syllables of runs first..last, for the report:
// "lo: luo/le; chu: zhu/ju". In a scope that writes no aspiration
// apostrophe (or no ü), a syllable that would read otherwise with one
// ("tsai: zai/cai", "yu: you/yu") is listed too, unless `known` (a word the
// word table holds as written). Sets `dropped` when such a reading was listed.
std::string Alternatives(const Scope& scope, std::size_t first, std::size_t last, bool known, bool& dropped);

// A Windows-1252 byte of a table as a code point (the typographic
// apostrophes as ').
char32_t CodePointOf(char byte);

}  // namespace kesti
