// Streaming: the text decoded at the one edge (text/transcode.h), then cut
// into scopes at places that depend on the text alone, never on how it
// arrives, so that any chunking gives the same output.
#include <algorithm>
#include <cstring>
#include <memory>
#if !defined(__EMSCRIPTEN__)
#include <exception>
#include <thread>
#endif

#include "prose/chars.h"
#include "prose/lexicon.h"
#include "prose/prose.h"
#include "prose/scope.h"

namespace kesti {
namespace {

// The browser's build has no threads, and carries no code for them: there
// each scope converts as it is cut, whatever TextOptions::threads says.
#if defined(__EMSCRIPTEN__)
constexpr bool kThreads = false;
#else
constexpr bool kThreads = true;
#endif

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

    std::size_t head = 0;  // pending[0, head) is converted already, or queued
    // Valid UTF-8 given whole, cut where it lies instead of `pending`.
    std::string_view whole;
    bool inPlace = false;

    // Scopes cut but not yet converted, where options.threads asks for
    // several at once: where each begins (an offset, since `pending` may
    // grow meanwhile), its size, and whether it begins inside a long run.
    struct Queued {
        std::size_t at, size;
        bool insideRun;
    };
    std::vector<Queued> queued;
    // The other threads' buffers, kept from one batch to the next, and
    // their results in the output's encoding.
    std::vector<std::unique_ptr<ScopeWorkOwner>> helpers;
    std::vector<std::string> helperOut, helperConverted;

    std::string_view Text() const { return inPlace ? whole : std::string_view(pending); }
    // The text not yet converted, nor queued.
    std::string_view Rest() const { return Text().substr(head); }

    // Converted text is dropped in bulk, so that a long input fed at once
    // costs one move of each byte, not one per scope.
    void Drop() {
        if (!inPlace && queued.empty() && (head == pending.size() || head > pending.size() / 2)) {
            pending.erase(0, head);
            head = 0;
        }
    }

    // Converts `text` with `work` and appends the result to `out` in the
    // output's encoding, with `utf8` as the buffer between.
    void ConvertOne(std::string_view text, bool startsInsideRun, ScopeWork& scopeWork, std::string& utf8,
                    std::string& out, std::vector<ReportRecord>* report) {
        std::string& target = options.encoding == Encoding::Cp1252 ? utf8 : out;
        utf8.clear();
        // Positions are kept for a report's records only (and a scope
        // converted beside others has none): no thread shares one.
        TextPosition unused;
        ConvertScope(*lexicon, options, text, startsInsideRun, report ? position : unused, scopeWork, target, report);
        if (options.encoding == Encoding::Cp1252) AppendCp1252(utf8, out);
    }

    void Scope(std::size_t size, bool nextInsideRun, std::string& out, std::vector<ReportRecord>* report) {
        if (kThreads && options.threads > 1 && !report) {
            queued.push_back({head, size, insideRun});
            head += size;
            scanned = 0;
            insideRun = nextInsideRun;
            if (queued.size() >= options.threads) Flush(out);
            return;
        }
        Flush(out);  // what is queued comes first
        ConvertOne(Rest().substr(0, size), insideRun, *work.work, converted, out, report);
        head += size;
        Drop();
        scanned = 0;
        insideRun = nextInsideRun;
    }

    // Converts the queued scopes, the first on this thread and each other
    // on a thread of its own (on this one where a thread cannot start),
    // and appends their results in order. Without a report no position is
    // asked, so each scope converts as it would after the one before.
    void Flush(std::string& out) {
        if (queued.empty()) return;
#if !defined(__EMSCRIPTEN__)
        const std::size_t others = queued.size() - 1;
        while (helpers.size() < others) helpers.push_back(std::make_unique<ScopeWorkOwner>());
        helperOut.resize(std::max(helperOut.size(), others));
        helperConverted.resize(std::max(helperConverted.size(), others));
        const std::string_view text = Text();
        std::vector<std::exception_ptr> failures(others);
        const auto convertOther = [&](std::size_t k) {
            try {
                const Queued& q = queued[k + 1];
                helperOut[k].clear();
                ConvertOne(text.substr(q.at, q.size), q.insideRun, *helpers[k]->work, helperConverted[k], helperOut[k],
                           nullptr);
            } catch (...) {
                failures[k] = std::current_exception();
            }
        };
        // Nothing may throw once a thread runs, or it would be left unjoined.
        std::vector<std::thread> started;
        std::vector<std::size_t> here;
        std::exception_ptr failure;
        try {
            started.reserve(others);
            here.reserve(others);
        } catch (...) {
            failure = std::current_exception();
        }
        for (std::size_t k = 0; k < others && !failure; ++k) {
            try {
                started.emplace_back(convertOther, k);
            } catch (...) {
                here.push_back(k);
            }
        }
        if (!failure) {
            try {
                ConvertOne(text.substr(queued[0].at, queued[0].size), queued[0].insideRun, *work.work, converted, out,
                           nullptr);
            } catch (...) {
                failure = std::current_exception();
            }
            for (const std::size_t k : here) convertOther(k);
        }
        for (std::thread& t : started) t.join();
        for (std::size_t k = 0; k < others && !failure; ++k) failure = failures[k];
        if (failure) {
            queued.clear();
            std::rethrow_exception(failure);
        }
        for (std::size_t k = 0; k < others; ++k) out += helperOut[k];
#else
        (void)out;  // nothing is queued without threads
#endif
        queued.clear();
        Drop();
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
        CutScopes(final, out, report);
        if (final) Flush(out);
    }

    void CutScopes(bool final, std::string& out, std::vector<ReportRecord>* report) {
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
    s.queued.clear();
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
    // Room for the chunk decoded at once, Windows-1252's letters past ASCII
    // taking two bytes: a long text given whole is not copied again and
    // again as the buffer doubles.
    state->pending.reserve(state->pending.size() + chunk.size() + chunk.size() / 8);
    if (!state->decoder.Feed(chunk, state->pending, error)) {
        state->failed = true;
        state->Flush(out);  // the paragraphs one thread would have written already
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
        state->Flush(out);
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
