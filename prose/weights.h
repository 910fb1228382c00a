// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (10796 sentences with 120000 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.097f,  // bias
       4.074f,  // not English, lower
       5.882f,  // not English, capitalized
      -0.660f,  // not English, capitals
      -2.981f,  // function word, lower
       1.420f,  // function word, capitalized
      -0.631f,  // function word, capitals
       0.246f,  // size 10, lower
       3.529f,  // size 10, capitalized
       0.098f,  // size 10, capitals
      -0.645f,  // size 20, lower
       2.270f,  // size 20, capitalized
       0.625f,  // size 20, capitals
       2.769f,  // size 35, lower
       4.810f,  // size 35, capitalized
       0.656f,  // size 35, capitals
       3.410f,  // size 50, lower
       5.076f,  // size 50, capitalized
       0.356f,  // size 50, capitals
       2.956f,  // size 70, lower
       4.420f,  // size 70, capitalized
       0.139f,  // size 70, capitals
       4.934f,  // size 95, lower
       7.886f,  // size 95, capitalized
       1.088f,  // size 95, capitals
       4.122f,  // name 50, lower
       0.851f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.646f,  // name 95, lower
       5.012f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       2.103f,  // Chinese name, lower
       7.294f,  // Chinese name, capitalized
       2.519f,  // Chinese name, capitals
       3.735f,  // Chinese surname, lower
       3.434f,  // Chinese surname, capitalized
       0.174f,  // Chinese surname, capitals
      -0.478f,  // one syllable
       1.688f,  // two syllables
       4.089f,  // three or more syllables
       2.768f,  // Wade-Giles spelling
       0.585f,  // no Pinyin reading
       3.680f,  // word-table key
       2.633f,  // key across words
       2.361f,  // tone numbers
       3.418f,  // capitalized at a sentence's start
      -3.477f,  // after a determiner
      -3.909f,  // after a Western name
      -5.192f,  // before a number or abbreviation
      -6.102f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       9.047f,  // after a title
      -0.494f,  // surname-first heading
      -3.194f,  // one syllable in capitals
      -0.537f,  // place without hyphens
       0.924f,  // Tzu after a name
       2.705f,  // Wade-Giles nearby
      -3.603f,  // English around
       5.614f,  // alone on its line in a list, capitalized
      -5.015f,  // after a determiner, a common English word
       0.558f,  // a common English word capitalized at a sentence's start
      -1.039f,  // step over a space
      -5.388f,  // step over a space, both capitalized
      -3.041f,  // step over a comma
      -4.275f,  // step over a comma, both capitalized
      -4.386f,  // step over punctuation
      -3.023f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
