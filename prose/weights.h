// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:
// a two-label linear-chain conditional random field fitted by maximum
// likelihood with an L2 penalty of 0.02, English examples counting 5 times,
// 800 steps of Adam from zero, on the development data of tests/dev/
// (11080 sentences with 121356 words). Run the tool again rather than edit.
#pragma once

namespace kesti {

// Added for romanized Chinese, against English's 0; a step's weight is
// added where the label changes between neighbours.
// clang-format off
inline constexpr float kWeights[] = {
       0.045f,  // bias
       3.933f,  // not English, lower
       5.830f,  // not English, capitalized
      -0.930f,  // not English, capitals
      -3.079f,  // function word, lower
       0.863f,  // function word, capitalized
      -1.373f,  // function word, capitals
       0.133f,  // size 10, lower
       3.496f,  // size 10, capitalized
       0.101f,  // size 10, capitals
      -0.418f,  // size 20, lower
       2.687f,  // size 20, capitalized
       0.976f,  // size 20, capitals
       2.698f,  // size 35, lower
       4.830f,  // size 35, capitalized
       0.738f,  // size 35, capitals
       2.695f,  // size 50, lower
       4.489f,  // size 50, capitalized
       0.360f,  // size 50, capitals
       2.788f,  // size 70, lower
       4.313f,  // size 70, capitalized
       0.135f,  // size 70, capitals
       4.897f,  // size 95, lower
       7.889f,  // size 95, capitalized
       1.135f,  // size 95, capitals
       4.112f,  // name 50, lower
       0.715f,  // name 50, capitalized
       0.000f,  // name 50, capitals
       5.566f,  // name 95, lower
       5.125f,  // name 95, capitalized
       0.001f,  // name 95, capitals
       1.956f,  // Chinese name, lower
       7.324f,  // Chinese name, capitalized
       2.763f,  // Chinese name, capitals
       3.737f,  // Chinese surname, lower
       3.644f,  // Chinese surname, capitalized
       0.182f,  // Chinese surname, capitals
      -0.578f,  // one syllable
       1.907f,  // two syllables
       4.027f,  // three or more syllables
       2.752f,  // Wade-Giles spelling
       0.409f,  // no Pinyin reading
       3.945f,  // word-table key
       2.452f,  // key across words
       2.573f,  // tone numbers
       3.481f,  // capitalized at a sentence's start
      -3.446f,  // after a determiner
      -3.981f,  // after a Western name
      -5.486f,  // before a number or abbreviation
      -6.047f,  // alone on its line, capitalized
       0.000f,  // alone on its line, lower case
       8.967f,  // after a title
      -0.742f,  // surname-first heading
      -3.041f,  // one syllable in capitals
      -0.407f,  // place without hyphens
       0.908f,  // Tzu after a name
       2.929f,  // Wade-Giles nearby
      -3.234f,  // English around
       5.608f,  // alone on its line in a list, capitalized
      -3.278f,  // after a determiner, a common English word
       0.629f,  // a common English word capitalized at a sentence's start
       9.303f,  // capitalized before dynasty
      -1.167f,  // step over a space
      -5.536f,  // step over a space, both capitalized
      -3.410f,  // step over a comma
      -4.254f,  // step over a comma, both capitalized
      -4.241f,  // step over punctuation
      -3.168f,  // step over punctuation, both capitalized
       0.000f,  // step over a line break
       0.000f,  // step over a line break, both capitalized
};
// clang-format on

// A word English uses, decided by a margin of log-odds less than this, is
// reported ambiguous.
inline constexpr float kAmbiguousMargin = 4.0f;

}  // namespace kesti
