// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (12176 sentences with 128005 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.592f,  // bias
       4.780f,  // not English, lower
       7.424f,  // not English, capitalized
      -2.604f,  // not English, capitals
      -3.368f,  // function word, lower
       0.336f,  // function word, capitalized
      -1.441f,  // function word, capitals
      -0.150f,  // size 10, lower
       2.976f,  // size 10, capitalized
       0.097f,  // size 10, capitals
      -0.447f,  // size 20, lower
       2.383f,  // size 20, capitalized
       1.191f,  // size 20, capitals
       2.703f,  // size 35, lower
       4.186f,  // size 35, capitalized
       0.924f,  // size 35, capitals
       2.451f,  // size 50, lower
       3.977f,  // size 50, capitalized
       0.379f,  // size 50, capitals
       2.354f,  // size 70, lower
       4.221f,  // size 70, capitalized
       0.132f,  // size 70, capitals
       4.447f,  // size 95, lower
       7.459f,  // size 95, capitalized
       0.981f,  // size 95, capitals
       3.392f,  // name 50, lower
      -0.066f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.344f,  // name 95, lower
       4.355f,  // name 95, capitalized
       0.003f,  // name 95, capitals
       1.557f,  // Chinese name, lower
       4.893f,  // Chinese name, capitalized
       2.909f,  // Chinese name, capitals
       2.983f,  // Chinese surname, lower
       4.606f,  // Chinese surname, capitalized
       0.142f,  // Chinese surname, capitals
      -0.537f,  // one syllable
       3.501f,  // two syllables
       2.486f,  // three or more syllables
       4.028f,  // Wade-Giles spelling
       0.422f,  // no Pinyin reading
       3.093f,  // word-table key
       1.904f,  // key across words
       2.645f,  // tone numbers
       3.248f,  // capitalized at a sentence's start
      -1.845f,  // after a determiner
      -3.416f,  // after a Western name
      -4.189f,  // before a number or abbreviation
      -5.567f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       7.886f,  // after a title
      -0.183f,  // surname-first heading
      -3.536f,  // one syllable in capitals
      -4.782f,  // place without hyphens
       0.861f,  // Tzu after a name
       2.738f,  // Wade-Giles nearby
      -3.339f,  // English around
       5.599f,  // alone on its line in a list, capitalized
      -3.801f,  // after a determiner, a common English word
       0.120f,  // a common English word capitalized at a sentence's start
       7.488f,  // capitalized before dynasty
       4.295f,  // a dynasty's name inside a sentence
      -1.070f,  // step over a space
      -4.345f,  // step over a space, both capitalized
      -2.082f,  // step over a comma
      -4.015f,  // step over a comma, both capitalized
      -3.349f,  // step over punctuation
      -3.273f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
      -1.963f,  // step over a bracket
      -1.618f,  // step over a bracket, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
