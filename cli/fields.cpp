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
    std::size_t at = 0;
    while (at < pending.size()) {
        Position after{line, column, false};
        const std::size_t end = ScanRecord(at, final, after);
        if (end == 0) break;  // incomplete: `waiting` says for what
        if (header && !headerSeen) {
            // The header names the columns and passes through unchanged.
            headerSeen = true;
            if (!NameColumns(error)) return false;
            out.append(pending, at, end - at);
        } else {
            WriteFields(at, end, out, report);
        }
        line = after.line, column = after.column;
        at = end;
    }
    pending.erase(0, at);
    return true;
}

void FieldConverter::Position::Step(unsigned char b) {
    if (b == '\n') {
        if (!afterReturn) ++line;
        column = 1;
    } else if (b == '\r') {
        ++line, column = 1;
    } else if ((b & 0xC0) != 0x80) {
        ++column;  // a character, counted at its first byte
    }
    afterReturn = b == '\r';
}

std::size_t FieldConverter::ScanRecord(std::size_t at, bool final, Position& position) {
    const char separator = format == FieldFormat::Csv ? ',' : '\t';
    const std::size_t size = pending.size();
    fields.clear();
    std::size_t i = at;
    auto step = [&](std::size_t k) { position.Step(static_cast<unsigned char>(pending[k])); };
    auto incomplete = [&](char awaited) {
        waiting = awaited;
        return std::size_t{0};
    };
    for (;;) {
        Field f;
        f.begin = i;
        if (separator == ',' && i < size && pending[i] == '"') {
            f.quoted = true;
            step(i++);
            f.line = position.line, f.column = position.column;
            bool closed = false;
            while (i < size && !closed) {
                if (pending[i] == '"') {
                    if (i + 1 == size && !final) return incomplete(0);  // "" or the end: the next chunk tells
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
            if (!closed && !final) return incomplete('"');
            // Text after the closing quote: not RFC 4180, kept as it is.
            f.wellFormed = closed;
            while (i < size && pending[i] != separator && pending[i] != '\r' && pending[i] != '\n') {
                f.wellFormed = false;
                step(i++);
            }
        } else {
            f.line = position.line, f.column = position.column;
            while (i < size && pending[i] != separator && pending[i] != '\r' && pending[i] != '\n') step(i++);
        }
        f.end = i;
        fields.push_back(f);
        if (i == size) {
            if (!final) return incomplete('\n');
            waiting = 0;
            return size;
        }
        if (pending[i] == separator) {
            step(i++);
            continue;
        }
        if (pending[i] == '\r' && i + 1 == size && !final) return incomplete('\n');  // CR LF may be cut between chunks
        const bool pair = pending[i] == '\r' && i + 1 < size && pending[i + 1] == '\n';
        step(i++);
        if (pair) step(i++);
        waiting = 0;
        return i;
    }
}

bool FieldConverter::NameColumns(std::string& error) {
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
    return true;
}

void FieldConverter::WriteFields(std::size_t at, std::size_t end, std::string& out, std::vector<ReportRecord>* report) {
    const char separator = format == FieldFormat::Csv ? ',' : '\t';
    std::size_t copied = at;
    bool chosen = false;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const Field& f = fields[k];
        if (!Chosen(k)) continue;
        chosen = true;
        if (!f.wellFormed || f.end == f.begin) continue;
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
    ++records;
    recordsWithChosen += chosen;
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
