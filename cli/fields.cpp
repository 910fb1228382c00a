#include "cli/fields.h"

#include <algorithm>
#include <charconv>

#include "prose/chars.h"
#include "text/encoding.h"

namespace kesti {

bool ParseColumns(std::string_view list, ColumnChoice& choice, std::string& error) {
    choice = {};
    while (!list.empty()) {
        const std::size_t comma = std::min(list.find(','), list.size());
        std::string_view item = list.substr(0, comma);
        list.remove_prefix(std::min(comma + 1, list.size()));
        if (item.empty()) {
            error = "an empty column in --columns";
            return false;
        }
        auto number = [](std::string_view text, std::size_t& value) {
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            return ec == std::errc() && end == text.data() + text.size() && value > 0;
        };
        std::size_t first = 0, last = 0;
        const std::size_t dash = item.find('-');
        if (number(item, first)) {
            choice.ranges.emplace_back(first, first);
        } else if (dash != std::string_view::npos && number(item.substr(0, dash), first) &&
                   number(item.substr(dash + 1), last) && first <= last) {
            choice.ranges.emplace_back(first, last);
        } else if (item.find_first_not_of("0123456789-") == std::string_view::npos) {
            // Digits that are not a column: "0", "3-1", "2-".
            error.clear();
            error.push_back('\'');
            error.append(item).append("' in --columns is not a column: columns count from 1, ranges upwards");
            return false;
        } else {
            choice.names.emplace_back(item);
        }
    }
    if (choice.ranges.empty() && choice.names.empty()) {
        error = "--columns names no column";
        return false;
    }
    return true;
}

FieldFormat FormatOfName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return FieldFormat::Tsv;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension == "csv" ? FieldFormat::Csv : FieldFormat::Tsv;
}

FieldConverter::FieldConverter(ItemConverter& items, FieldFormat format, const ColumnChoice& columns, bool header)
    : items(items), format(format), columns(columns), header(header) {}

bool FieldConverter::Chosen(std::size_t index) const {
    for (const auto& [first, last] : columns.ranges)
        if (index + 1 >= first && index + 1 <= last) return true;
    return std::find(named.begin(), named.end(), index) != named.end();
}

bool FieldConverter::Feed(std::string_view text, std::string& out, std::vector<ReportRecord>* report,
                          std::string& error) {
    pending.append(text);
    // A record left incomplete waits for what could complete it: a record
    // scanned again for every chunk of a long one would cost its length
    // squared.
    const bool awaited = waiting == 0 || (waiting == '"' ? text.find('"') != std::string_view::npos
                                                          : text.find_first_of("\r\n") != std::string_view::npos);
    if (awaited && !Records(false, out, report, error)) return false;
    if (pending.size() > kMaxRecordBytes) {
        error = "a record (at line " + std::to_string(line) + ") longer than 16 MiB: a quoted field left open?";
        return false;
    }
    return true;
}

bool FieldConverter::Finish(std::string& out, std::vector<ReportRecord>* report, std::string& error) {
    return Records(true, out, report, error);
}

bool FieldConverter::Records(bool final, std::string& out, std::vector<ReportRecord>* report, std::string& error) {
    const char separator = format == FieldFormat::Csv ? ',' : '\t';
    // A byte order mark that opens the file passes through, and is neither
    // part of the first field (or the header's first name) nor a column.
    if (!started) {
        constexpr std::string_view kMark = "\xEF\xBB\xBF";
        if (!final && pending.size() < kMark.size() && kMark.substr(0, pending.size()) == pending) return true;
        started = true;
        if (std::string_view(pending).substr(0, kMark.size()) == kMark) {
            out.append(kMark);
            pending.erase(0, kMark.size());
        }
    }
    const std::size_t size = pending.size();
    std::size_t at = 0;
    while (at < size) {
        // One record from `at`: its fields, and where it ends.
        fields.clear();
        std::size_t i = at;
        std::uint64_t l = line, c = column;
        bool afterReturn = false;
        auto step = [&](std::size_t k) {  // moves the position over pending[k]
            const auto b = static_cast<unsigned char>(pending[k]);
            if (b == '\n') {
                if (!afterReturn) ++l;
                c = 1;
            } else if (b == '\r') {
                ++l, c = 1;
            } else if ((b & 0xC0) != 0x80) {
                ++c;  // a character, counted at its first byte
            }
            afterReturn = b == '\r';
        };
        bool complete = false, incomplete = false, insideQuotes = false, quoteAtEnd = false;
        std::size_t end = 0;
        while (!complete && !incomplete) {
            Field f;
            f.begin = i;
            if (separator == ',' && i < size && pending[i] == '"') {
                f.quoted = true;
                step(i++);
                f.line = l, f.column = c;
                bool closed = false;
                while (i < size && !closed) {
                    if (pending[i] == '"') {
                        if (i + 1 == size && !final) {
                            quoteAtEnd = true;  // "" or the end: the next chunk tells
                            break;
                        }
                        step(i++);
                        if (i < size && pending[i] == '"') {
                            step(i++);
                        } else {
                            closed = true;
                        }
                    } else {
                        step(i++);
                    }
                }
                if (!closed && !final) {
                    incomplete = insideQuotes = true;
                    break;
                }
                // Text after the closing quote: not RFC 4180, kept as it is.
                f.wellFormed = closed;
                while (i < size && pending[i] != separator && pending[i] != '\r' && pending[i] != '\n') {
                    f.wellFormed = false;
                    step(i++);
                }
            } else {
                f.line = l, f.column = c;
                while (i < size && pending[i] != separator && pending[i] != '\r' && pending[i] != '\n') step(i++);
            }
            f.end = i;
            fields.push_back(f);
            if (i == size) {
                if (!final) incomplete = true;
                complete = !incomplete;
                end = size;
            } else if (pending[i] == separator) {
                step(i++);
            } else {
                if (pending[i] == '\r' && i + 1 == size && !final) {
                    incomplete = true;  // CR LF may be cut between chunks
                    break;
                }
                const bool pair = pending[i] == '\r' && i + 1 < size && pending[i + 1] == '\n';
                step(i++);
                if (pair) step(i++);
                complete = true;
                end = i;
            }
        }
        if (incomplete) {
            waiting = quoteAtEnd ? 0 : insideQuotes ? '"' : '\n';
            break;
        }
        waiting = 0;

        if (header && !headerSeen) {
            // The header names the columns and passes through unchanged.
            headerSeen = true;
            for (const std::string& name : columns.names) {
                std::size_t index = fields.size();
                for (std::size_t k = 0; k < fields.size(); ++k) {
                    const Field& f = fields[k];
                    std::string_view text(pending.data() + f.begin, f.end - f.begin);
                    if (f.quoted && text.size() >= 2) text = text.substr(1, text.size() - 2);
                    if (text == name) index = k;
                }
                if (index == fields.size()) {
                    error = "no column named '" + name + "' in the header";
                    return false;
                }
                named.push_back(index);
            }
            out.append(pending, at, end - at);
        } else {
            std::size_t copied = at;
            for (std::size_t k = 0; k < fields.size(); ++k) {
                const Field& f = fields[k];
                if (!Chosen(k) || !f.wellFormed || f.end == f.begin) continue;
                out.append(pending, copied, f.begin - copied);
                content.clear();
                if (f.quoted) {
                    for (std::size_t p = f.begin + 1; p + 1 < f.end; ++p) {
                        content += pending[p];
                        if (pending[p] == '"') ++p;  // "" is one quote
                    }
                } else {
                    content.assign(pending, f.begin, f.end - f.begin);
                }
                converted.clear();
                items.Convert(content, f.line, f.column, converted, report);
                const bool mustQuote = converted.find_first_of(separator == ',' ? ",\"\r\n" : "\t\r\n") != std::string::npos;
                if (f.quoted || (mustQuote && separator == ',')) {
                    out += '"';
                    for (char ch : converted) {
                        if (ch == '"') out += '"';
                        out += ch;
                    }
                    out += '"';
                } else {
                    out += converted;
                }
                copied = f.end;
            }
            out.append(pending, copied, end - copied);
        }
        line = l, column = c;
        at = end;
    }
    pending.erase(0, at);
    return true;
}

StreamResult ConvertFieldStream(FieldConverter& fields, Encoding encoding, std::istream& in, std::ostream& out,
                                const RecordSink& sink, std::size_t chunkSize) {
    StreamResult result;
    Utf8Decoder decoder(encoding);
    std::vector<char> chunk(std::max<std::size_t>(chunkSize, 1));
    std::string decoded, converted, encoded;
    std::vector<ReportRecord> records;
    std::vector<ReportRecord>* wanted = sink ? &records : nullptr;
    auto write = [&] {
        const std::string* text = &converted;
        if (encoding == Encoding::Cp1252) {
            encoded.clear();
            AppendCp1252(converted, encoded);
            text = &encoded;
        }
        out.write(text->data(), static_cast<std::streamsize>(text->size()));
        converted.clear();
        for (const ReportRecord& r : records) sink(r);
        records.clear();
        return static_cast<bool>(out);
    };
    auto fail = [&](bool input) {
        result.ok = false;
        result.errorOffset = decoder.ErrorOffset();
        if (input) result.inputFailed = true;
        return result;
    };
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        decoded.clear();
        if (!decoder.Feed(std::string_view(chunk.data(), got), decoded, result.error) ||
            !fields.Feed(decoded, converted, wanted, result.error))
            return fail(false);
        if (!write()) {
            result.outputFailed = true;
            result.error = "write error";
            return fail(false);
        }
    }
    if (in.bad()) {
        result.error = "read error";
        return fail(true);
    }
    if (!decoder.Finish(result.error) || !fields.Finish(converted, wanted, result.error)) return fail(false);
    if (!write()) {
        result.outputFailed = true;
        result.error = "write error";
        return fail(false);
    }
    return result;
}

}  // namespace kesti
