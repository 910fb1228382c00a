// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam (--only: the features added since a fit from zero, the others kept),
// on the development data of tests/dev/ (12637 sentences with 132237 words).
// Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.595f,  // bias
       4.684f,  // not English, lower
       7.442f,  // not English, capitalized
      -2.597f,  // not English, capitals
      -3.368f,  // function word, lower
       0.363f,  // function word, capitalized
      -1.438f,  // function word, capitals
      -0.153f,  // size 10, lower
       2.981f,  // size 10, capitalized
       0.098f,  // size 10, capitals
      -0.441f,  // size 20, lower
       2.387f,  // size 20, capitalized
       1.193f,  // size 20, capitals
       2.700f,  // size 35, lower
       4.193f,  // size 35, capitalized
       0.932f,  // size 35, capitals
       2.454f,  // size 50, lower
       3.981f,  // size 50, capitalized
       0.380f,  // size 50, capitals
       2.345f,  // size 70, lower
       4.224f,  // size 70, capitalized
       0.131f,  // size 70, capitals
       4.411f,  // size 95, lower
       7.461f,  // size 95, capitalized
       0.980f,  // size 95, capitals
       3.401f,  // name 50, lower
      -0.058f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.328f,  // name 95, lower
       4.356f,  // name 95, capitalized
       0.003f,  // name 95, capitals
       1.536f,  // Chinese name, lower
       4.891f,  // Chinese name, capitalized
       2.867f,  // Chinese name, capitals
       2.978f,  // Chinese surname, lower
       4.617f,  // Chinese surname, capitalized
       0.143f,  // Chinese surname, capitals
      -0.529f,  // one syllable
       3.462f,  // two syllables
       2.483f,  // three or more syllables
       4.008f,  // Wade-Giles spelling
       0.423f,  // no Pinyin reading
       3.103f,  // word-table key
       1.912f,  // key across words
       2.620f,  // tone numbers
       3.274f,  // capitalized at a sentence's start
      -1.839f,  // after a determiner
      -3.412f,  // after a Western name
      -4.187f,  // before a number or abbreviation
      -5.583f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       7.881f,  // after a title
      -0.188f,  // surname-first heading
      -3.538f,  // one syllable in capitals
      -4.749f,  // place without hyphens
       0.860f,  // Tzu after a name
       2.741f,  // Wade-Giles nearby
      -3.354f,  // English around
       5.590f,  // alone on its line in a list, capitalized
      -3.806f,  // after a determiner, a common English word
       0.118f,  // a common English word capitalized at a sentence's start
       7.488f,  // capitalized before dynasty
       4.295f,  // a dynasty's name inside a sentence
      -4.756f,  // a common English word after another
       2.539f,  // surname and given name as Wade-Giles writes a name
      -1.069f,  // step over a space
      -4.339f,  // step over a space, both capitalized
      -2.080f,  // step over a comma
      -4.013f,  // step over a comma, both capitalized
      -3.348f,  // step over punctuation
      -3.274f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
      -1.785f,  // step over a bracket
      -1.721f,  // step over a bracket, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
