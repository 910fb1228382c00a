// Converting one scope of text: a paragraph, or a bounded piece of one,
// that the stream has gathered whole. Everything the engine decides about a
// word (is it Wade-Giles, English, Pinyin; which table key covers it) is
// decided from the words around it inside this scope.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "prose/lexicon.h"
#include "prose/prose.h"

namespace kesti {

// Where a scope starts in the whole input, for the report's positions.
struct TextPosition {
    std::uint64_t line = 1;
    std::uint64_t column = 1;
    bool afterCarriageReturn = false;  // a LF that follows belongs to the same break
};

struct ScopeWork;  // buffers reused from one scope to the next

struct ScopeWorkOwner {
    ScopeWorkOwner();
    ~ScopeWorkOwner();
    ScopeWorkOwner(const ScopeWorkOwner&) = delete;
    ScopeWorkOwner& operator=(const ScopeWorkOwner&) = delete;
    ScopeWork* work;
};

// Converts `text` (valid UTF-8) and appends the result, in UTF-8, to `out`.
// `startsInsideRun` says the text begins in the middle of a run of word
// characters that was cut for length, which is therefore no word.
// `position` is where the text starts and is moved to where it ends.
void ConvertScope(const Lexicon& lexicon, const TextOptions& options, std::string_view text, bool startsInsideRun,
                  TextPosition& position, ScopeWork& work, std::string& out, std::vector<ReportRecord>* report);

// Whether ConvertScope writes `text` (valid UTF-8) as it stands, told
// without finding its words: each is plain ASCII and met before, and none
// could convert where it stands. False is no answer.
bool StandsAsWritten(const Lexicon& lexicon, const TextOptions& options, std::string_view text, ScopeWork& work);

struct WordEvidence;

// For the tool that sets the decision's weights (tools/): what the decision
// weighs in `text`, one scope, sentence by sentence (see prose/decide.h).
void DescribeScope(const Lexicon& lexicon, const TextOptions& options, std::string_view text, ScopeWork& work,
                   std::vector<std::vector<WordEvidence>>& sentences);

}  // namespace kesti
