// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (10775 sentences with 119932 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
inline constexpr float kWeights[] = {
       0.101f,  // bias
       4.072f,  // not English, lower
       5.880f,  // not English, capitalized
      -0.664f,  // not English, capitals
      -2.984f,  // function word, lower
       1.416f,  // function word, capitalized
      -0.636f,  // function word, capitals
       0.242f,  // size 10, lower
       3.526f,  // size 10, capitalized
       0.097f,  // size 10, capitals
      -0.650f,  // size 20, lower
       2.267f,  // size 20, capitalized
       0.622f,  // size 20, capitals
       2.765f,  // size 35, lower
       4.807f,  // size 35, capitalized
       0.654f,  // size 35, capitals
       3.406f,  // size 50, lower
       5.074f,  // size 50, capitalized
       0.354f,  // size 50, capitals
       2.954f,  // size 70, lower
       4.420f,  // size 70, capitalized
       0.139f,  // size 70, capitals
       4.931f,  // size 95, lower
       7.883f,  // size 95, capitalized
       1.086f,  // size 95, capitals
       4.118f,  // name 50, lower
       0.847f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.643f,  // name 95, lower
       5.010f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       2.099f,  // Chinese name, lower
       7.291f,  // Chinese name, capitalized
       2.514f,  // Chinese name, capitals
       3.732f,  // Chinese surname, lower
       3.432f,  // Chinese surname, capitalized
       0.174f,  // Chinese surname, capitals
      -0.476f,  // one syllable
       1.689f,  // two syllables
       4.089f,  // three or more syllables
       2.766f,  // Wade-Giles spelling
       0.587f,  // no Pinyin reading
       3.680f,  // word-table key
       2.633f,  // key across words
       2.359f,  // tone numbers
       3.418f,  // capitalized at a sentence's start
      -3.477f,  // after a determiner
      -3.909f,  // after a Western name
      -5.193f,  // before a number or abbreviation
      -6.106f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       9.047f,  // after a title
      -0.495f,  // surname-first heading
      -3.192f,  // one syllable in capitals
      -0.537f,  // place without hyphens
       0.923f,  // Tzu after a name
       2.704f,  // Wade-Giles nearby
      -3.607f,  // English around
       5.614f,  // alone on its line in a list, capitalized
      -5.015f,  // after a determiner, a common English word
       0.559f,  // a common English word capitalized at a sentence's start
      -1.038f,  // step over a space
      -5.388f,  // step over a space, both capitalized
      -3.040f,  // step over a comma
      -4.275f,  // step over a comma, both capitalized
      -4.391f,  // step over punctuation
      -3.023f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
};

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
