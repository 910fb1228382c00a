// Streaming: the text decoded at the one edge (text/transcode.h), then cut
// into scopes at places that depend on the text alone, never on how it
// arrives, so that any chunking gives the same output.
#include <algorithm>
#include <cstring>

#include "prose/chars.h"
#include "prose/lexicon.h"
#include "prose/prose.h"
#include "prose/scope.h"

namespace kesti {
namespace {

// Where a cut for length may fall: not inside a run of word characters.
bool EndsRuns(char32_t c) { return !IsWordChar(c) && !IsApostrophe(c) && !IsHyphen(c); }

// The longest text ConvertBatch joins to others: a longer one gains
// nothing from company.
constexpr std::size_t kBatchTextBytes = 4096;

}  // namespace

struct TextStream::State {
    std::shared_ptr<const Lexicon> lexicon;
    TextOptions options;
    std::string pending;  // valid UTF-8 not yet converted
    Utf8Decoder decoder{Encoding::Utf8};
    std::size_t scanned = 0;  // the search for a blank line resumes here
    bool insideRun = false;   // `pending` begins inside a run cut for length
    bool failed = false;
    TextPosition position;
    ScopeWorkOwner work;
    std::string converted;
    std::string batchText, batchOut;  // ConvertBatch's texts joined, and their result
    std::vector<bool> batchKept;      // and which of its texts it keeps as written

    std::size_t head = 0;  // pending[0, head) is converted already
    // Valid UTF-8 given whole, cut where it lies instead of `pending`.
    std::string_view whole;
    bool inPlace = false;

    // The text not yet converted.
    std::string_view Rest() const { return (inPlace ? whole : std::string_view(pending)).substr(head); }

    void Scope(std::size_t size, bool nextInsideRun, std::string& out, std::vector<ReportRecord>* report) {
        const std::string_view text = Rest().substr(0, size);
        std::string& target = options.encoding == Encoding::Cp1252 ? converted : out;
        converted.clear();
        ConvertScope(*lexicon, options, text, insideRun, position, *work.work, target, report);
        if (options.encoding == Encoding::Cp1252) AppendCp1252(converted, out);
        // Converted text is dropped in bulk, so that a long input fed at
        // once costs one move of each byte, not one per scope.
        head += size;
        if (!inPlace && (head == pending.size() || head > pending.size() / 2)) {
            pending.erase(0, head);
            head = 0;
        }
        scanned = 0;
        insideRun = nextInsideRun;
    }

    // The end of the first blank line, when it ends within kScopeBytes.
    std::size_t ParagraphEnd() {
        const std::string_view rest = Rest();
        const std::size_t reach = std::min(rest.size(), kScopeBytes);
        while (scanned < reach) {
            const void* found = std::memchr(rest.data() + scanned, '\n', reach - scanned);
            if (!found) {
                scanned = reach;
                return 0;
            }
            const std::size_t at = static_cast<const char*>(found) - rest.data();
            std::size_t next = at + 1;
            while (next < rest.size() && (rest[next] == ' ' || rest[next] == '\t' || rest[next] == '\r')) ++next;
            if (next == rest.size()) {
                scanned = at;  // the blank line may complete in the next chunk
                return 0;
            }
            if (rest[next] == '\n') return next + 1 <= kScopeBytes ? next + 1 : 0;
            scanned = next;
        }
        return 0;
    }

    void Cut(bool final, std::string& out, std::vector<ReportRecord>* report) {
        constexpr std::size_t kLimit = kScopeBytes + 4 * kMaxWordBytes;
        for (;;) {
            if (const std::size_t end = ParagraphEnd()) {
                Scope(end, false, out, report);
                continue;
            }
            const std::string_view rest = Rest();
            if (rest.size() <= kScopeBytes) {
                if (final && !rest.empty()) Scope(rest.size(), false, out, report);
                return;
            }
            // No blank line in reach: cut at the first character after
            // kScopeBytes that no run holds, or inside an overlong run.
            std::size_t i = kScopeBytes;
            while (i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
            std::size_t cut = 0;
            while (i < rest.size() && i < kLimit) {
                std::size_t length = 0;
                if (EndsRuns(DecodeAt(rest, i, length))) {
                    cut = i;
                    break;
                }
                i += length;
            }
            if (cut) {
                Scope(cut, false, out, report);
            } else if (i >= kLimit) {
                Scope(i, true, out, report);
            } else {
                if (final) Scope(rest.size(), false, out, report);
                return;
            }
        }
    }
};

TextStream::TextStream(const TextTables& tables, const TextOptions& options) : state(new State) {
    state->lexicon = tables.lexicon;
    state->options = options;
    state->decoder.encoding = options.encoding;
}

TextStream::~TextStream() = default;

void TextStream::Reset() {
    State& s = *state;
    s.pending.clear();
    s.decoder = Utf8Decoder(s.options.encoding);
    s.scanned = 0;
    s.insideRun = false;
    s.failed = false;
    s.position = {};
    s.converted.clear();
    s.head = 0;
}

void TextStream::ConvertBatch(const std::string_view* texts, std::size_t count, std::string& out,
                              std::vector<std::size_t>& ends) {
    State& s = *state;
    // Converts a text as the stream would, cut in place where it lies.
    const auto alone = [&](std::string_view text) {
        Reset();
        s.whole = text;
        s.inPlace = true;
        s.Cut(true, out, nullptr);
        s.whole = {};
        s.inPlace = false;
        ends.push_back(out.size());
    };
    TextOptions options = s.options;
    options.items = true;
    std::string& joined = s.batchText;
    std::string& converted = s.batchOut;
    // The batch: texts[first, k), those of them to convert joined by line
    // breaks, and the others (English that stands as written, told
    // cheaply, as the stream tells it of a text alone) kept aside.
    std::size_t first = 0, inBatch = 0;
    std::vector<bool>& kept = s.batchKept;
    kept.clear();
    const auto flush = [&](std::size_t k) {
        std::size_t at = 0;
        bool split = true;
        if (inBatch > 1) {
            converted.clear();
            TextPosition position;
            ConvertScope(*s.lexicon, options, joined, false, position, *s.work.work, converted, nullptr);
            // No conversion writes a line break, so the texts' results are
            // the lines of the result; were it otherwise, each goes alone.
            split = static_cast<std::size_t>(std::count(converted.begin(), converted.end(), '\n')) == inBatch - 1;
        }
        for (std::size_t i = first; i < k; ++i) {
            if (kept[i - first]) {
                out.append(texts[i]);
                ends.push_back(out.size());
            } else if (inBatch == 1 || !split) {
                alone(texts[i]);
            } else {
                const std::size_t end = std::min(converted.find('\n', at), converted.size());
                out.append(converted, at, end - at);
                ends.push_back(out.size());
                at = end + 1;
            }
        }
        joined.clear();
        kept.clear();
        first = k;
        inBatch = 0;
    };
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view text = texts[k];
        const bool joins = !text.empty() && text.size() <= kBatchTextBytes &&
                           !std::memchr(text.data(), '\n', text.size()) && !std::memchr(text.data(), '\r', text.size());
        if (!joins) {
            flush(k);
            alone(text);
            first = k + 1;
            continue;
        }
        if (StandsAsWritten(*s.lexicon, s.options, text, *s.work.work)) {
            kept.push_back(true);
            continue;
        }
        if (!joined.empty() && joined.size() + 1 + text.size() > kScopeBytes) flush(k);
        if (!joined.empty()) joined += '\n';
        joined += text;
        kept.push_back(false);
        ++inBatch;
    }
    flush(count);
    Reset();
}

std::uint64_t TextStream::ErrorOffset() const { return state->decoder.ErrorOffset(); }

bool TextStream::Feed(std::string_view chunk, std::string& out, std::vector<ReportRecord>* report, std::string& error) {
    if (state->failed) {
        error = "the stream stopped at an earlier error";
        return false;
    }
    if (!state->decoder.Feed(chunk, state->pending, error)) {
        state->failed = true;
        return false;
    }
    state->Cut(false, out, report);
    return true;
}

bool TextStream::Finish(std::string& out, std::vector<ReportRecord>* report, std::string& error) {
    if (state->failed) {
        error = "the stream stopped at an earlier error";
        return false;
    }
    if (!state->decoder.Finish(error)) {
        state->failed = true;
        return false;
    }
    state->Cut(true, out, report);
    return true;
}

struct ItemConverter::State {
    std::shared_ptr<const Lexicon> lexicon;
    TextOptions options;
    ScopeWorkOwner work;
};

ItemConverter::ItemConverter(const TextTables& tables, const TextOptions& options) : state(new State) {
    state->lexicon = tables.lexicon;
    state->options = options;
    state->options.lines = true;
}

ItemConverter::~ItemConverter() = default;

void ItemConverter::Convert(std::string_view item, std::uint64_t line, std::uint64_t column, std::string& out,
                            std::vector<ReportRecord>* report) {
    TextPosition position;
    position.line = line;
    position.column = column;
    // A long item is cut into scopes as a stream cuts text: after a line
    // break (no evidence crosses one in lines mode), else at the first
    // character past the scope's size that no word holds.
    bool insideRun = false;
    while (!item.empty()) {
        std::size_t size = item.size();
        bool nextInsideRun = false;
        if (size > kScopeBytes) {
            const std::size_t lastBreak = item.substr(0, kScopeBytes).rfind('\n');
            if (lastBreak != std::string_view::npos) {
                size = lastBreak + 1;
            } else {
                size = kScopeBytes;
                while (size < item.size() && (static_cast<unsigned char>(item[size]) & 0xC0) == 0x80) ++size;
                for (std::size_t length = 0; size < item.size(); size += length) {
                    if (EndsRuns(DecodeAt(item, size, length))) break;
                    if (size >= kScopeBytes + 4 * kMaxWordBytes) {
                        nextInsideRun = true;  // inside a run too long to be a word
                        break;
                    }
                }
            }
        }
        ConvertScope(*state->lexicon, state->options, item.substr(0, size), insideRun, position, *state->work.work, out,
                     report);
        item.remove_prefix(size);
        insideRun = nextInsideRun;
    }
}

bool ConvertRunningText(const TextTables& tables, const TextOptions& options, std::string_view text, std::string& out,
                        std::vector<ReportRecord>* report, std::string& error) {
    TextStream stream(tables, options);
    // Most text comes out as long as it went in: grown once, not copied
    // again at each doubling.
    out.reserve(out.size() + text.size() + text.size() / 16);
    if (options.encoding == Encoding::Utf8 && IsValidUtf8(text)) {
        // Cut into paragraphs where it lies, not copied into the stream's
        // buffer first: the same cuts, since they depend on the text alone.
        stream.state->whole = text;
        stream.state->inPlace = true;
        stream.state->Cut(true, out, report);
        return true;
    }
    return stream.Feed(text, out, report, error) && stream.Finish(out, report, error);
}

const char* DecisionName(Decision decision) {
    switch (decision) {
        case Decision::WordTable:
            return "word table";
        case Decision::Syllables:
            return "syllables";
        case Decision::English:
            return "left as English";
        case Decision::NotWadeGiles:
            return "left as not Wade-Giles";
        case Decision::Pinyin:
            return "left as Pinyin text";
        case Decision::Established:
            return "established spelling";
    }
    return "";
}

const char kReportHeader[] = "file\tline\tcolumn\toriginal\tresult\tdecision\tambiguous\talternatives\n";

void AppendReportField(std::string& line, std::string_view value) {
    for (char c : value) {
        switch (c) {
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\\':
                line += "\\\\";
                break;
            default:
                line += c;
        }
    }
}

std::string FormatReportRecord(std::string_view file, const ReportRecord& r) {
    std::string line;
    AppendReportField(line, file);
    line += '\t' + std::to_string(r.line) + '\t' + std::to_string(r.column) + '\t';
    AppendReportField(line, r.original);
    line += '\t';
    AppendReportField(line, r.result);
    line += '\t';
    line += DecisionName(r.decision);
    line += '\t';
    line += r.ambiguous ? "yes" : "no";
    line += '\t';
    AppendReportField(line, r.alternatives);
    line += '\n';
    return line;
}

}  // namespace kesti
