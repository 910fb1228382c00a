// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (12061 sentences with 127224 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.413f,  // bias
       5.028f,  // not English, lower
       6.417f,  // not English, capitalized
      -2.174f,  // not English, capitals
      -3.260f,  // function word, lower
       0.371f,  // function word, capitalized
      -1.461f,  // function word, capitals
      -0.088f,  // size 10, lower
       3.240f,  // size 10, capitalized
       0.044f,  // size 10, capitals
      -0.498f,  // size 20, lower
       2.476f,  // size 20, capitalized
       0.762f,  // size 20, capitals
       2.648f,  // size 35, lower
       4.509f,  // size 35, capitalized
       0.659f,  // size 35, capitals
       2.410f,  // size 50, lower
       4.258f,  // size 50, capitalized
       0.234f,  // size 50, capitals
       2.619f,  // size 70, lower
       3.970f,  // size 70, capitalized
       0.121f,  // size 70, capitals
       4.676f,  // size 95, lower
       7.652f,  // size 95, capitalized
       1.017f,  // size 95, capitals
       3.506f,  // name 50, lower
      -0.301f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.493f,  // name 95, lower
       4.582f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       1.817f,  // Chinese name, lower
       5.603f,  // Chinese name, capitalized
       2.952f,  // Chinese name, capitals
       3.234f,  // Chinese surname, lower
       5.668f,  // Chinese surname, capitalized
       0.108f,  // Chinese surname, capitals
      -0.631f,  // one syllable
       3.135f,  // two syllables
       3.453f,  // three or more syllables
       3.507f,  // Wade-Giles spelling
       0.510f,  // no Pinyin reading
       4.448f,  // word-table key
       2.002f,  // key across words
       2.626f,  // tone numbers
       3.246f,  // capitalized at a sentence's start
      -2.677f,  // after a determiner
      -3.373f,  // after a Western name
      -4.465f,  // before a number or abbreviation
      -5.906f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       8.894f,  // after a title
      -0.303f,  // surname-first heading
      -3.224f,  // one syllable in capitals
      -2.164f,  // place without hyphens
       0.859f,  // Tzu after a name
       2.817f,  // Wade-Giles nearby
      -3.318f,  // English around
       5.704f,  // alone on its line in a list, capitalized
      -3.974f,  // after a determiner, a common English word
       0.415f,  // a common English word capitalized at a sentence's start
       7.651f,  // capitalized before dynasty
       4.993f,  // a dynasty's name inside a sentence
      -1.075f,  // step over a space
      -5.853f,  // step over a space, both capitalized
      -2.246f,  // step over a comma
      -4.035f,  // step over a comma, both capitalized
      -3.228f,  // step over punctuation
      -3.215f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
      -1.746f,  // step over a bracket
      -1.850f,  // step over a bracket, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
