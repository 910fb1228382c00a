// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (11168 sentences with 122022 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.104f,  // bias
       3.559f,  // not English, lower
       6.811f,  // not English, capitalized
      -1.418f,  // not English, capitals
      -3.193f,  // function word, lower
       0.766f,  // function word, capitalized
      -1.469f,  // function word, capitals
      -0.010f,  // size 10, lower
       3.294f,  // size 10, capitalized
       0.069f,  // size 10, capitals
      -0.538f,  // size 20, lower
       2.365f,  // size 20, capitalized
       1.117f,  // size 20, capitals
       2.531f,  // size 35, lower
       4.644f,  // size 35, capitalized
       0.735f,  // size 35, capitals
       2.467f,  // size 50, lower
       4.381f,  // size 50, capitalized
       0.303f,  // size 50, capitals
       2.638f,  // size 70, lower
       4.039f,  // size 70, capitalized
       0.130f,  // size 70, capitals
       4.721f,  // size 95, lower
       7.707f,  // size 95, capitalized
       1.253f,  // size 95, capitals
       3.784f,  // name 50, lower
       0.222f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.464f,  // name 95, lower
       5.088f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       1.801f,  // Chinese name, lower
       6.173f,  // Chinese name, capitalized
       2.819f,  // Chinese name, capitals
       3.152f,  // Chinese surname, lower
       7.489f,  // Chinese surname, capitalized
       0.133f,  // Chinese surname, capitals
      -0.451f,  // one syllable
       1.816f,  // two syllables
       2.966f,  // three or more syllables
       3.840f,  // Wade-Giles spelling
       0.479f,  // no Pinyin reading
       3.578f,  // word-table key
       2.389f,  // key across words
       2.554f,  // tone numbers
       3.479f,  // capitalized at a sentence's start
      -3.038f,  // after a determiner
      -3.462f,  // after a Western name
      -4.682f,  // before a number or abbreviation
      -6.039f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       9.065f,  // after a title
      -0.478f,  // surname-first heading
      -3.433f,  // one syllable in capitals
      -1.787f,  // place without hyphens
       0.893f,  // Tzu after a name
       2.858f,  // Wade-Giles nearby
      -3.335f,  // English around
       5.578f,  // alone on its line in a list, capitalized
      -3.286f,  // after a determiner, a common English word
       0.619f,  // a common English word capitalized at a sentence's start
       9.349f,  // capitalized before dynasty
      -1.101f,  // step over a space
      -5.266f,  // step over a space, both capitalized
      -2.729f,  // step over a comma
      -4.159f,  // step over a comma, both capitalized
      -4.461f,  // step over punctuation
      -3.034f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
