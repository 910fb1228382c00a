#include "api/pass.h"

#include <cstring>

#include "table/index.h"
#include "text/text_rules.h"

namespace kesti {

std::size_t EmitValue(const char* value, std::size_t length, CaseMode mode, char* output) {
    if (length == 0) return 0;
    switch (mode) {
        case CaseMode::AsIs:
            std::memcpy(output, value, length);
            break;
        case CaseMode::Capitalized:
            output[0] = static_cast<char>(ToUpper(static_cast<unsigned char>(value[0])));
            std::memcpy(output + 1, value + 1, length - 1);
            break;
        case CaseMode::AllCaps:
            for (std::size_t i = 0; i < length; ++i)
                output[i] = static_cast<char>(ToUpper(static_cast<unsigned char>(value[i])));
            break;
    }
    return length;
}

PassProgress RunConversionPass(const ConversionTable& table, const char* input, std::size_t size,
                               bool final, char* output, std::size_t capacity) {
    std::size_t stop = size;
    if (!final) stop = size > table.maxKeyLength ? size - table.maxKeyLength : 0;
    std::size_t cursor = 0, written = 0;
    // With keys longer than any real word (only a hostile table has them),
    // a lookup in a run of letters that agrees with such a key costs up to
    // the key's length, at every position of the run. For such a table the
    // pass tracks where the run at the cursor ends (each byte is scanned for
    // this once): a key must not be followed by a letter, so the run's length
    // tells whether a lookup can find anything at all. (A run that reaches
    // the end of a partial input may go on in the next piece, but every
    // cursor before `stop` has more letters ahead of it than the longest key
    // anyway, so the run's true length would give the same answer.) Real
    // tables skip the bookkeeping.
    const bool trackRuns = table.maxKeyLength > kLongKeyLength;
    std::size_t runEnd = 0;
    while (cursor < stop) {
        MatchResult match;
        bool matched = false;
        if (IsLetter(static_cast<unsigned char>(input[cursor]))) {
            bool possible = true;
            if (trackRuns) {
                if (cursor >= runEnd) {
                    runEnd = cursor + 1;
                    while (runEnd < size && IsLetter(static_cast<unsigned char>(input[runEnd]))) ++runEnd;
                }
                const std::size_t letters = runEnd - cursor;
                possible = MatchPossible(table, letters);
            }
            matched = possible && LookupAtCursor(table, input + cursor, size - cursor, match);
        }
        if (matched) {
            const std::size_t length = std::strlen(match.value);
            if (capacity - written < length) break;
            written += EmitValue(match.value, length, match.caseMode, output + written);
            cursor += match.consumed;
        } else {
            if (written == capacity) break;
            output[written++] = input[cursor++];
        }
    }
    return {cursor, written};
}

}  // namespace kesti
