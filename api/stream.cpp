#include "api/stream.h"

#include <algorithm>
#include <array>
#include <vector>

#include "api/pass.h"
#include "text/encoding.h"

namespace kesti {
namespace {

constexpr char32_t kCombiningDiaeresis = 0x0308;

// Where a conversion's output goes: a stream, or a string in memory. A
// string is written without the stream library, whose locales would
// otherwise come into builds that convert strings alone (the page's
// WebAssembly, a fifth of its code).
struct StreamSink {
    std::ostream& out;
    void Write(const char* bytes, std::size_t size) { out.write(bytes, static_cast<std::streamsize>(size)); }
};
struct StringSink {
    std::string& out;
    void Write(const char* bytes, std::size_t size) { out.append(bytes, size); }
};

// The conversion state of one stream.
template <typename Sink>
struct Converter {
    const ConversionTable& table;
    Encoding encoding;
    Sink out;
    Utf8Decoder decoder;
    std::string decoded;            // a chunk's valid UTF-8
    std::string pending;            // Windows-1252 bytes not yet converted
    std::vector<char> converted;    // the pass's output buffer
    std::string encoded;            // output on its way out
    bool lastWasU = false;          // pending ends in a 'u' or 'U' read as such
    std::uint64_t errorOffset = 0;  // where malformed UTF-8 was found

    Converter(const ConversionTable& t, Encoding e, Sink o)
        : table(t), encoding(e), out(o), decoder(e), converted(std::max<std::size_t>(64 * 1024, t.maxValueLength)) {}

    void Emit(const char* bytes, std::size_t size) {
        if (encoding == Encoding::Cp1252) {
            out.Write(bytes, size);
            return;
        }
        encoded.clear();
        for (std::size_t i = 0; i < size; ++i) AppendUtf8(encoded, FromCp1252(static_cast<unsigned char>(bytes[i])));
        out.Write(encoded.data(), encoded.size());
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

    // Takes valid UTF-8 into the pending bytes: runs of ASCII whole, u and
    // U+0308 as ü, other characters as their Windows-1252 bytes. A
    // character the code page lacks cannot be inside a key: everything
    // before it converts as a whole input of its own, then it is copied.
    void Take(std::string_view text) {
        for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
            std::size_t ascii = i;
            while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
            if (ascii > i) {
                pending.append(text, i, ascii - i);
                lastWasU = pending.back() == 'u' || pending.back() == 'U';
                length = ascii - i;
                continue;
            }
            const char32_t c = DecodeAt(text, i, length);
            if (c == kCombiningDiaeresis && lastWasU) {
                pending.back() = pending.back() == 'u' ? static_cast<char>(0xFC) : static_cast<char>(0xDC);
                lastWasU = false;
                continue;
            }
            const int byte = ToCp1252(c);
            if (byte >= 0) {
                pending += static_cast<char>(byte);
                lastWasU = false;
                continue;
            }
            Convert(true);
            out.Write(text.data() + i, length);
        }
    }

    // Feeds raw input bytes; false on malformed UTF-8, with `error` set.
    bool Feed(const char* data, std::size_t size, std::string& error) {
        if (encoding == Encoding::Cp1252) {
            pending.append(data, size);
        } else {
            decoded.clear();
            const bool ok = decoder.Feed(std::string_view(data, size), decoded, error);
            Take(decoded);
            if (!ok) {
                errorOffset = decoder.ErrorOffset();
                return false;
            }
        }
        if (pending.size() > 64 * 1024 + table.maxKeyLength) Convert(false);
        return true;
    }

    bool Finish(std::string& error) {
        if (!decoder.Finish(error)) {
            errorOffset = decoder.ErrorOffset();
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

StreamResult ConvertStream(const ConversionTable& table, Encoding encoding, std::istream& in, std::ostream& out,
                           std::size_t chunkSize) {
    Converter<StreamSink> converter(table, encoding, StreamSink{out});
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

StreamResult ConvertString(const ConversionTable& table, Encoding encoding, std::string_view in, std::string& out) {
    // Written apart and moved in at the end: `in` may be `out`'s own bytes.
    std::string output;
    Converter<StringSink> converter(table, encoding, StringSink{output});
    StreamResult result;
    result.ok = converter.Feed(in.data(), in.size(), result.error) && converter.Finish(result.error);
    result.errorOffset = converter.errorOffset;
    out = std::move(output);
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
