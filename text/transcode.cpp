#include "text/transcode.h"

#include <cstring>

#include "text/encoding.h"

namespace kesti {
namespace {

// Whether the `length` bytes at s[0] are one well-formed UTF-8 sequence:
// continuation bytes, no overlong form, no surrogate, nothing past U+10FFFF.
bool WellFormed(const unsigned char* s, std::size_t length) {
    std::uint32_t cp = s[0] & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    return cp >= kMinimum[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

// The end of the ASCII bytes from s[i]: eight at a time while none has its
// high bit set, then one at a time.
std::size_t AsciiEnd(const unsigned char* s, std::size_t i, std::size_t size) {
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < size && s[i] < 0x80) ++i;
    return i;
}

}  // namespace

std::string InvalidUtf8Message(std::uint64_t offset, bool truncated) {
    std::string message = "invalid UTF-8 at byte offset " + std::to_string(offset);
    if (truncated) message += ": the input ends inside a character";
    return message;
}

void AppendCp1252(std::string_view utf8, std::string& out) {
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            const std::size_t ascii =
                AsciiEnd(reinterpret_cast<const unsigned char*>(utf8.data()), i, utf8.size());
            out.append(utf8, i, ascii - i);
            length = ascii - i;
        } else {
            const int byte = ToCp1252(DecodeAt(utf8, i, length));
            out += byte < 0 ? '?' : static_cast<char>(byte);
        }
    }
}

bool ReadsAsCp1252(std::string_view bytes) {
    for (char c : bytes) {
        switch (static_cast<unsigned char>(c)) {
            case 0x00:
            case 0x81:
            case 0x8D:
            case 0x8F:
            case 0x90:
            case 0x9D:
                return false;
            default:
                break;
        }
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        if (s[i] < 0x80) {
            i = AsciiEnd(s, i, text.size());
            continue;
        }
        const auto need = static_cast<std::size_t>(Utf8SequenceLength(s[i]));
        if (need == 0 || i + need > text.size() || !WellFormed(s + i, need)) return false;
        i += need;
    }
    return true;
}

bool Utf8Decoder::Feed(std::string_view chunk, std::string& out, std::string& error) {
    if (failed) {
        error = InvalidUtf8Message(errorOffset);
        return false;
    }
    const std::uint64_t base = received;  // the input offset of chunk[0]
    received += chunk.size();
    if (encoding == Encoding::Cp1252) {
        // Runs of ASCII are copied whole; other bytes become characters.
        const auto* bytes = reinterpret_cast<const unsigned char*>(chunk.data());
        for (std::size_t i = 0; i < chunk.size();) {
            std::size_t ascii = AsciiEnd(bytes, i, chunk.size());
            out.append(chunk.substr(i, ascii - i));
            if (ascii < chunk.size()) AppendUtf8(out, FromCp1252(static_cast<unsigned char>(chunk[ascii++])));
            i = ascii;
        }
        return true;
    }
    auto fail = [&](std::uint64_t at) {
        failed = true;
        errorOffset = at;
        error = InvalidUtf8Message(at);
        return false;
    };
    const auto* s = reinterpret_cast<const unsigned char*>(chunk.data());
    std::size_t i = 0;
    if (!partial.empty()) {
        const std::uint64_t at = base - partial.size();
        const auto need = static_cast<std::size_t>(Utf8SequenceLength(static_cast<unsigned char>(partial[0])));
        while (partial.size() < need && i < chunk.size() && (s[i] & 0xC0) == 0x80) partial += chunk[i++];
        if (partial.size() < need && i == chunk.size()) return true;
        if (partial.size() < need || !WellFormed(reinterpret_cast<const unsigned char*>(partial.data()), need))
            return fail(at);
        out += partial;
        partial.clear();
    }
    const std::size_t start = i;
    while (i < chunk.size()) {
        if (s[i] < 0x80) {
            i = AsciiEnd(s, i, chunk.size());
            continue;
        }
        const auto need = static_cast<std::size_t>(Utf8SequenceLength(s[i]));
        if (need != 0 && i + need > chunk.size()) {
            // Complete it with the next chunk, unless it is wrong already.
            bool continuing = true;
            for (std::size_t k = i + 1; k < chunk.size(); ++k) continuing = continuing && (s[k] & 0xC0) == 0x80;
            if (continuing) {
                out.append(chunk.substr(start, i - start));
                partial.assign(chunk.substr(i));
                return true;
            }
        }
        if (need == 0 || i + need > chunk.size() || !WellFormed(s + i, need)) return fail(base + i);
        i += need;
    }
    out.append(chunk.substr(start));
    return true;
}

bool Utf8Decoder::Finish(std::string& error) {
    if (failed) {
        error = InvalidUtf8Message(errorOffset);
        return false;
    }
    if (partial.empty()) return true;
    failed = true;
    errorOffset = received - partial.size();
    error = InvalidUtf8Message(errorOffset, true);
    return false;
}

}  // namespace kesti
