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
    LookupScan scan;
    while (cursor < stop) {
        MatchResult match;
        const bool matched = IsLetter(static_cast<unsigned char>(input[cursor])) &&
                             (!table.index || MayBeginKey(*table.index, input + cursor, size - cursor)) &&
                             LookupInScan(table, input, size, cursor, scan, match);
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
