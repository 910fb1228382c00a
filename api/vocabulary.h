// The words of the text mode's choices and the values the C interface
// gives them: the one table the command parses its options from, and the
// Python package and the page take their constants from (their bindings
// include this header, which needs nothing but kesti.h). A new value is
// added here and in kesti.h's enum.
#pragma once

#include <cstddef>
#include <string_view>

#include "kesti/kesti.h"

namespace kesti {

struct VocabularyWord {
    const char* word;
    int value;
};

struct Choice {
    const char* option;       // the command's option without its dashes, Python's keyword
    VocabularyWord words[3];  // the first is the default
    std::size_t count;
};

inline constexpr Choice kChoices[] = {
    {"hyphens", {{"join", KESTI_HYPHENS_JOIN}, {"keep", KESTI_HYPHENS_KEEP}}, 2},
    {"tones", {{"marks", KESTI_TONES_MARKS}, {"numbers", KESTI_TONES_NUMBERS}, {"none", KESTI_TONES_NONE}}, 3},
    {"english", {{"guard", KESTI_ENGLISH_GUARD}, {"convert", KESTI_ENGLISH_CONVERT}}, 2},
    {"conventional", {{"leave", KESTI_CONVENTIONAL_LEAVE}, {"convert", KESTI_CONVENTIONAL_CONVERT}}, 2},
};

// The choice called `option`, or null.
inline const Choice* FindChoice(std::string_view option) {
    for (const Choice& c : kChoices)
        if (option == c.option) return &c;
    return nullptr;
}

// The value of `word` for a choice, or -1 when it has none.
inline int ChoiceValue(const Choice& choice, std::string_view word) {
    for (std::size_t i = 0; i < choice.count; ++i)
        if (word == choice.words[i].word) return choice.words[i].value;
    return -1;
}

// The kesti_options field a choice sets: the command and the bindings fill
// one struct, and kesti_open reads it.
inline int* ChoiceField(kesti_options& options, const Choice& choice) {
    const std::string_view name = choice.option;
    return name == "hyphens"   ? &options.hyphens
           : name == "tones"   ? &options.tones
           : name == "english" ? &options.english
                               : &options.conventional;
}
inline int ChoiceOf(const kesti_options& options, const Choice& choice) {
    return *ChoiceField(const_cast<kesti_options&>(options), choice);
}

}  // namespace kesti
