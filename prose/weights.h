// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (11461 sentences with 123488 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.301f,  // bias
       5.126f,  // not English, lower
       6.642f,  // not English, capitalized
      -1.775f,  // not English, capitals
      -3.211f,  // function word, lower
       0.425f,  // function word, capitalized
      -1.504f,  // function word, capitals
      -0.134f,  // size 10, lower
       3.105f,  // size 10, capitalized
       0.050f,  // size 10, capitals
      -0.564f,  // size 20, lower
       2.199f,  // size 20, capitalized
       0.998f,  // size 20, capitals
       2.619f,  // size 35, lower
       4.400f,  // size 35, capitalized
       0.700f,  // size 35, capitals
       2.434f,  // size 50, lower
       4.223f,  // size 50, capitalized
       0.255f,  // size 50, capitals
       2.612f,  // size 70, lower
       3.965f,  // size 70, capitalized
       0.126f,  // size 70, capitals
       4.691f,  // size 95, lower
       7.586f,  // size 95, capitalized
       1.094f,  // size 95, capitals
       3.699f,  // name 50, lower
      -0.116f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.503f,  // name 95, lower
       4.782f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       1.831f,  // Chinese name, lower
       5.995f,  // Chinese name, capitalized
       2.894f,  // Chinese name, capitals
       3.168f,  // Chinese surname, lower
       7.375f,  // Chinese surname, capitalized
       0.129f,  // Chinese surname, capitals
      -0.560f,  // one syllable
       2.763f,  // two syllables
       2.932f,  // three or more syllables
       3.832f,  // Wade-Giles spelling
       0.416f,  // no Pinyin reading
       3.241f,  // word-table key
       2.099f,  // key across words
       2.653f,  // tone numbers
       3.223f,  // capitalized at a sentence's start
      -3.042f,  // after a determiner
      -3.494f,  // after a Western name
      -4.707f,  // before a number or abbreviation
      -5.794f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       9.093f,  // after a title
      -0.409f,  // surname-first heading
      -3.373f,  // one syllable in capitals
      -2.426f,  // place without hyphens
       0.884f,  // Tzu after a name
       2.898f,  // Wade-Giles nearby
      -3.263f,  // English around
       5.646f,  // alone on its line in a list, capitalized
      -3.287f,  // after a determiner, a common English word
       0.493f,  // a common English word capitalized at a sentence's start
       9.364f,  // capitalized before dynasty
      -1.076f,  // step over a space
      -5.249f,  // step over a space, both capitalized
      -2.700f,  // step over a comma
      -4.162f,  // step over a comma, both capitalized
      -2.373f,  // step over punctuation
      -3.029f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
      -1.582f,  // step over a bracket
      -2.296f,  // step over a bracket, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
