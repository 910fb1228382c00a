// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (12181 sentences with 128064 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.583f,  // bias
       4.752f,  // not English, lower
       7.418f,  // not English, capitalized
      -2.608f,  // not English, capitals
      -3.354f,  // function word, lower
       0.223f,  // function word, capitalized
      -1.501f,  // function word, capitals
      -0.215f,  // size 10, lower
       2.920f,  // size 10, capitalized
       0.088f,  // size 10, capitals
      -0.557f,  // size 20, lower
       2.328f,  // size 20, capitalized
       1.139f,  // size 20, capitals
       2.571f,  // size 35, lower
       4.139f,  // size 35, capitalized
       0.898f,  // size 35, capitals
       2.317f,  // size 50, lower
       3.934f,  // size 50, capitalized
       0.357f,  // size 50, capitals
       2.342f,  // size 70, lower
       4.212f,  // size 70, capitalized
       0.132f,  // size 70, capitals
       4.424f,  // size 95, lower
       7.444f,  // size 95, capitalized
       0.983f,  // size 95, capitals
       3.305f,  // name 50, lower
      -0.147f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.334f,  // name 95, lower
       4.378f,  // name 95, capitalized
       0.003f,  // name 95, capitals
       1.545f,  // Chinese name, lower
       4.881f,  // Chinese name, capitalized
       2.915f,  // Chinese name, capitals
       2.974f,  // Chinese surname, lower
       4.597f,  // Chinese surname, capitalized
       0.142f,  // Chinese surname, capitals
      -0.542f,  // one syllable
       3.502f,  // two syllables
       2.488f,  // three or more syllables
       4.020f,  // Wade-Giles spelling
       0.440f,  // no Pinyin reading
       3.096f,  // word-table key
       1.906f,  // key across words
       2.668f,  // tone numbers
       3.248f,  // capitalized at a sentence's start
      -1.853f,  // after a determiner
      -3.450f,  // after a Western name
      -4.188f,  // before a number or abbreviation
      -5.617f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       7.897f,  // after a title
      -0.207f,  // surname-first heading
      -3.542f,  // one syllable in capitals
      -4.755f,  // place without hyphens
       0.861f,  // Tzu after a name
       2.742f,  // Wade-Giles nearby
      -3.318f,  // English around
       5.618f,  // alone on its line in a list, capitalized
      -3.786f,  // after a determiner, a common English word
       0.238f,  // a common English word capitalized at a sentence's start
       7.479f,  // capitalized before dynasty
       4.293f,  // a dynasty's name inside a sentence
      -1.059f,  // step over a space
      -4.355f,  // step over a space, both capitalized
      -2.060f,  // step over a comma
      -4.020f,  // step over a comma, both capitalized
      -3.328f,  // step over punctuation
      -3.238f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
      -1.944f,  // step over a bracket
      -1.633f,  // step over a bracket, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
