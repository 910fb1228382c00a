// The one edge where text enters kesti in an encoding: input fed in chunks
// of any size, decoded strictly into UTF-8, with the byte offset of the
// first malformed sequence and one message for it. Windows-1252 input is
// turned into UTF-8 here too (every byte is a character); the exact mode
// turns the UTF-8 back into the tables' bytes itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kesti {

// The encodings text reaches kesti in: UTF-8 (the command's default, the
// kesti_ interface, Python, the page) and Windows-1252 (the tables' bytes).
enum class Encoding { Utf8, Cp1252 };

// "invalid UTF-8 at byte offset N", and for input that ends inside a
// character ": the input ends inside a character" after it.
std::string InvalidUtf8Message(std::uint64_t offset, bool truncated = false);

// Whether `bytes` would read as Windows-1252: no byte the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) and no NUL. For the hint a
// failed UTF-8 decoding gives.
bool ReadsAsCp1252(std::string_view bytes);

// Appends valid UTF-8 to `out` as Windows-1252, each character the code
// page lacks (a tone mark's vowel, say) as '?': how output goes back to a
// Windows-1252 file.
void AppendCp1252(std::string_view utf8, std::string& out);

// Whether `text` is well-formed UTF-8 throughout, as the decoder takes it.
bool IsValidUtf8(std::string_view text);

// A stream's decoder. Feed it chunks, then Finish. Valid input is appended
// to `out` as UTF-8; a sequence cut by a chunk's end waits for the next.
// Malformed UTF-8 (a stray continuation byte, an overlong form, a
// surrogate, beyond U+10FFFF, a sequence cut short) stops it: Feed or
// Finish returns false, `error` holds the message and ErrorOffset() the
// byte offset, and the decoder takes nothing more.
struct Utf8Decoder {
    explicit Utf8Decoder(Encoding encoding) : encoding(encoding) {}

    bool Feed(std::string_view chunk, std::string& out, std::string& error);
    bool Finish(std::string& error);
    std::uint64_t ErrorOffset() const { return errorOffset; }
    std::uint64_t Received() const { return received; }

    Encoding encoding;
    std::string partial;         // a sequence begun at the end of the last chunk
    std::uint64_t received = 0;  // input bytes taken so far
    std::uint64_t errorOffset = 0;
    bool failed = false;
};

}  // namespace kesti
