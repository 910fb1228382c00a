#include "api/stream.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <vector>

#include "api/pass.h"
#include "text/encoding.h"

namespace kesti {
namespace {

constexpr std::uint32_t kCombiningDiaeresis = 0x0308;

// Decodes one complete sequence of `length` bytes; -1 when it is malformed
// (a bad continuation byte, an overlong form, a surrogate, past U+10FFFF).
long Decode(const unsigned char* s, int length) {
    if (length == 1) return s[0];
    std::uint32_t cp = s[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    return static_cast<long>(cp);
}

// The conversion state of one stream.
struct Converter {
    const ConversionTable& table;
    Encoding encoding;
    std::ostream& out;
    std::string pending;          // decoded Windows-1252 bytes not yet converted
    std::vector<char> converted;  // the pass's output buffer
    std::string encoded;          // output on its way out
    std::string partial;          // an incomplete UTF-8 sequence carried between chunks
    bool lastWasU = false;        // pending ends in a 'u' or 'U' read as such

    Converter(const ConversionTable& t, Encoding e, std::ostream& o)
        : table(t), encoding(e), out(o),
          converted(std::max<std::size_t>(64 * 1024, t.maxValueLength)) {}

    void Emit(const char* bytes, std::size_t size) {
        if (encoding == Encoding::Cp1252) {
            out.write(bytes, static_cast<std::streamsize>(size));
            return;
        }
        encoded.clear();
        for (std::size_t i = 0; i < size; ++i) AppendUtf8(encoded, FromCp1252(static_cast<unsigned char>(bytes[i])));
        out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    }

    // Runs the pass over the pending bytes. Unless `final`, the last byte
    // stays pending too, so that a combining diaeresis that follows can
    // still turn it into ü.
    void Convert(bool final) {
        std::size_t start = 0;
        const std::size_t size = final ? pending.size() : (pending.empty() ? 0 : pending.size() - 1);
        for (;;) {
            const PassProgress p = RunConversionPass(table, pending.data() + start, size - start, final,
                                                     converted.data(), converted.size());
            Emit(converted.data(), p.written);
            start += p.consumed;
            if (p.consumed == 0 && p.written == 0) break;
        }
        pending.erase(0, start);
        if (pending.empty()) lastWasU = false;
    }

    void Take(int byte) {
        pending += static_cast<char>(byte);
        lastWasU = byte == 'u' || byte == 'U';
    }

    // Feeds raw input bytes; false on malformed UTF-8, with `error` set.
    bool Feed(const char* data, std::size_t size, std::string& error) {
        if (encoding == Encoding::Cp1252) {
            pending.append(data, size);
        } else if (!FeedUtf8(data, size, error)) {
            return false;
        }
        if (pending.size() > 64 * 1024 + table.maxKeyLength) Convert(false);
        return true;
    }

    bool FeedUtf8(const char* data, std::size_t size, std::string& error) {
        const auto* s = reinterpret_cast<const unsigned char*>(data);
        std::size_t i = 0;
        if (!partial.empty()) {
            // Complete a sequence begun at the end of the previous chunk.
            const std::uint64_t at = chunkBase - partial.size();
            const auto length = static_cast<std::size_t>(Utf8SequenceLength(static_cast<unsigned char>(partial[0])));
            while (partial.size() < length && i < size && (s[i] & 0xC0) == 0x80) partial += data[i++];
            if (partial.size() < length && i == size) {
                chunkBase += size;
                return true;
            }
            if (!Character(reinterpret_cast<const unsigned char*>(partial.data()),
                           static_cast<int>(partial.size()), static_cast<int>(length), at, error))
                return false;
            partial.clear();
        }
        while (i < size) {
            const int length = Utf8SequenceLength(s[i]);
            if (length == 1) {
                Take(s[i++]);
                continue;
            }
            if (length != 0 && i + length > size) {
                partial.assign(data + i, size - i);
                break;
            }
            if (!Character(s + i, length == 0 ? 1 : length, length, chunkBase + i, error)) return false;
            i += static_cast<std::size_t>(length);
        }
        chunkBase += size;
        return true;
    }

    std::uint64_t chunkBase = 0;    // input offset of the current chunk's first byte
    std::uint64_t errorOffset = 0;  // where malformed UTF-8 was found

    // Handles one sequence starting at input offset `at`.
    bool Character(const unsigned char* s, int have, int length, std::uint64_t at, std::string& error) {
        const long cp = (length == 0 || have != length) ? -1 : Decode(s, length);
        if (cp < 0) {
            errorOffset = at;
            error = "invalid UTF-8 at byte offset " + std::to_string(at);
            return false;
        }
        if (cp == kCombiningDiaeresis && lastWasU) {
            pending.back() = pending.back() == 'u' ? static_cast<char>(0xFC) : static_cast<char>(0xDC);
            lastWasU = false;
            return true;
        }
        const int byte = ToCp1252(static_cast<char32_t>(cp));
        if (byte >= 0) {
            Take(byte);
            return true;
        }
        // Not in Windows-1252: no key can reach across it, so everything
        // before it converts as a whole input of its own, then it is copied.
        Convert(true);
        out.write(reinterpret_cast<const char*>(s), length);
        return true;
    }

    bool Finish(std::string& error) {
        if (!partial.empty()) {
            errorOffset = chunkBase - partial.size();
            error = "invalid UTF-8 at byte offset " + std::to_string(errorOffset) +
                    ": the input ends inside a character";
            return false;
        }
        Convert(true);
        return true;
    }
};

// The first failed write stops the conversion: nothing more is read.
StreamResult OutputFailed(StreamResult& result) {
    result.ok = false;
    result.outputFailed = true;
    result.error = "write error";
    return result;
}

// Reads `in` in chunks of `chunkSize` bytes into `feed`, then calls
// `finish`; both report malformed input through the result. The first
// failed write to `out` stops the reading: both converters share this loop.
template <typename Feed, typename Finish>
StreamResult Pump(std::istream& in, std::ostream& out, std::size_t chunkSize, Feed feed, Finish finish) {
    StreamResult result;
    std::vector<char> chunk(std::max<std::size_t>(chunkSize, 1));
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        if (!feed(std::string_view(chunk.data(), got), result)) {
            result.ok = false;
            return result;
        }
        if (!out) return OutputFailed(result);
    }
    if (in.bad()) {
        result.ok = false;
        result.inputFailed = true;
        result.error = "read error";
        return result;
    }
    result.ok = finish(result);
    if (result.ok && !out) return OutputFailed(result);
    return result;
}

}  // namespace

StreamResult ConvertStream(const ConversionTable& table, Encoding encoding, std::istream& in,
                           std::ostream& out, std::size_t chunkSize) {
    Converter converter(table, encoding, out);
    return Pump(
        in, out, chunkSize,
        [&](std::string_view chunk, StreamResult& r) {
            const bool ok = converter.Feed(chunk.data(), chunk.size(), r.error);
            r.errorOffset = converter.errorOffset;
            return ok;
        },
        [&](StreamResult& r) {
            const bool ok = converter.Finish(r.error);
            r.errorOffset = converter.errorOffset;
            return ok;
        });
}

StreamResult ConvertString(const ConversionTable& table, Encoding encoding, const std::string& in,
                           std::string& out) {
    std::istringstream input(in);
    std::ostringstream output;
    StreamResult result = ConvertStream(table, encoding, input, output);
    out = output.str();
    return result;
}

StreamResult ConvertRunningStream(const TextTables& tables, const TextOptions& options, std::istream& in,
                                  std::ostream& out, const RecordSink& sink, std::size_t chunkSize) {
    TextStream stream(tables, options);
    std::string converted;
    std::vector<ReportRecord> records;
    std::vector<ReportRecord>* wanted = sink ? &records : nullptr;
    auto drain = [&]() {
        out.write(converted.data(), static_cast<std::streamsize>(converted.size()));
        converted.clear();
        for (const ReportRecord& r : records) sink(r);
        records.clear();
    };
    return Pump(
        in, out, chunkSize,
        [&](std::string_view chunk, StreamResult& r) {
            const bool ok = stream.Feed(chunk, converted, wanted, r.error);
            if (ok) drain();
            r.errorOffset = stream.ErrorOffset();
            return ok;
        },
        [&](StreamResult& r) {
            const bool ok = stream.Finish(converted, wanted, r.error);
            if (ok) drain();
            r.errorOffset = stream.ErrorOffset();
            return ok;
        });
}

}  // namespace kesti
