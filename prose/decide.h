// The decision: which words of a scope are romanized Chinese, chosen for
// each sentence (in lines mode, each line) as a whole.
//
// Every word that could convert gets graded evidence for being romanized
// Chinese rather than English (or another language): how common it is in
// English, on SCOWL's scale from "the" to "Chin"; whether it has a spelling
// only Wade-Giles has (hs-, ts'-, -ih, an aspiration apostrophe, ü, a tone
// number); its syllables, its case, its place in the sentence and on its
// line, and the words beside it. Words that cannot convert are English.
// Going from English to Chinese and back between two neighbours costs
// something that depends on what stands between them (a space, a comma,
// other punctuation, a line break) and on whether both are capitalized.
// The labelling of the whole sentence with the best score is found with
// the Viterbi algorithm over its words, so that a run of syllables with
// distinctive Wade-Giles carries its English-looking members ("chin tai"
// in "Chung-kuo chin tai shih", "Ho" before "Ping-ti") while "so long to"
// in an English sentence stays English.
//
// The weights are in prose/weights.h, set on the development data by
// tools/fit_weights.py, which tells how.
//
// A few things are decided by rule before any weighing, since evidence
// cannot outweigh them: words that cannot convert; a sentence written in
// Pinyin ("Deng Xiaoping met Li Peng"), whose words are left as Pinyin;
// a Western given name before a one-syllable name ("Howard Chu"); the
// pronoun "I" ("In Pei-ching I met", "Later I think"); phrases English has
// borrowed ("kung fu", "tai chi") in a sentence with no other Wade-Giles
// and beside no syllable in lower case; a function word between names
// ("from Hsi-an to Lan-chou");
// tone numbers on several words ("Mao2 Tse2-tung1"), which are
// romanization; and --english convert, which converts every word that can.
//
// And a few after it, where the weighing sees too little: a word beside
// the Han characters it romanizes ("jen 仁 humaneness", "仁 (jen)"); a
// lower-case "i" ending a phrase that converted ("San kuo yen i"); an "I"
// before a word of its name that converted ("I Lin-ch'ing"); a
// capitalized syllable before a romanized phrase in lower case, its first
// word ("The Hung lou meng", "I wen yin shu kuan"); an
// ordinal and the word it counts across its number ("Ti 1 pan"); and a
// surname met again alone after its name converted ("The next day Lo left").
#pragma once

#include <cstdint>
#include <vector>

#include "prose/words.h"

namespace kesti {

// The evidence the decision weighs, by number: the words' features first,
// then the steps' between neighbours.
inline constexpr int kWordFeatures = 65;
inline constexpr int kStepFeatures = 10;
inline constexpr int kFeatureCount = kWordFeatures + kStepFeatures;
// The name of a feature, as tools/fit_weights.py and prose/weights.h write it.
const char* FeatureName(int feature);

// Decides every word of the scope: its `chinese`, `decision` and `ambiguous`.
void Decide(Scope& scope);

// Whether a word that could convert, read as `run`, is English wherever it
// stands, in the default mode, when no other word of its scope could
// convert and none is a Han character: a function word in lower case
// ("to", "a", "no"), or capitalized at a sentence's start ("To", "A") with
// no word of its name group after it and not before "dynasty", which the
// caller sees to. The weights say English whatever its place.
bool EnglishWherever(const Run& run, bool sentenceStart);

// What the decision weighs, for the tool that sets the weights: for each
// sentence, its words in order.
struct WordEvidence {
    std::uint32_t begin = 0, end = 0;     // the word's bytes in the scope (a unit's, across words)
    bool open = false;                    // could be romanized Chinese: neither a rule nor its form decides it
    std::vector<std::uint16_t> features;  // the features it has (each counts 1)
    std::vector<std::uint16_t> step;      // the features of the step from the word before it
};
void DescribeEvidence(Scope& scope, std::vector<std::vector<WordEvidence>>& sentences);

}  // namespace kesti
