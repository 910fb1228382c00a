// The C interface for many conversions (include/kesti/kesti.h): a converter
// owns its loaded tables; every call converts one UTF-8 text into the
// caller's buffer. No exception leaves a function: each catches what the
// C++ underneath may throw (std::bad_alloc) and returns it as a status.
#include "kesti/kesti.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "api/options.h"
#include "api/pass.h"
#include "api/stream.h"
#include "api/vocabulary.h"
#include "platform/table_dir.h"
#include "prose/lexicon.h"
#include "prose/prose.h"
#include "table/table.h"
#include "text/transcode.h"

struct kesti_converter {
    std::uint64_t id = 0;  // never given to another converter
    kesti_mode mode = KESTI_MODE_TEXT;
    kesti::TextOptions text;
    kesti::TextTables tables;  // the text mode's
    kesti::TableOwner exact;   // the exact modes' one table, indexed
};

struct kesti_report {
    std::vector<kesti::ReportRecord> records;
};

namespace {

std::atomic<std::uint64_t> gConverters{0};

// The text stream a thread last converted with, and for which converter:
// a stream keeps its buffers and the words it has read, which a batch of
// short texts would otherwise build and read again for every text. The
// stream shares the converter's tables, so it stays sound after the
// converter is closed; the next call with another converter replaces it.
struct ThreadStream {
    std::uint64_t converter = 0;
    std::unique_ptr<kesti::TextStream> stream;
    std::string converted;  // the text mode's output, before it is copied out
};
thread_local ThreadStream tStream;
// Texts up to this long leave the thread's stream for the next call.
constexpr std::size_t kKeptStreamText = 1 << 20;

kesti::TextStream& StreamFor(const kesti_converter& converter) {
    if (tStream.converter != converter.id || !tStream.stream) {
        tStream.stream.reset();
        tStream.converter = 0;
        tStream.stream = std::make_unique<kesti::TextStream>(converter.tables, converter.text);
        tStream.converter = converter.id;
    } else {
        tStream.stream->Reset();
    }
    return *tStream.stream;
}

// Converts `count` texts of valid UTF-8 with `converter`, appending each
// one's result to `out` and where it ends in `out` to `ends`: in the text
// mode many to a scope (TextStream::ConvertBatch), in the exact modes one
// at a time. Returns the status of the first text that fails (only
// KESTI_ERROR_NO_MEMORY can), with its index in `failed`.
kesti_status ConvertTexts(const kesti_converter& converter, const std::string_view* texts, std::size_t count,
                          std::string& out, std::vector<std::size_t>& ends, std::size_t& failed) {
    ends.reserve(ends.size() + count);
    if (converter.mode == KESTI_MODE_TEXT && converter.text.encoding == kesti::Encoding::Utf8) {
        StreamFor(converter).ConvertBatch(texts, count, out, ends);
        return KESTI_OK;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t used = out.size();
        out.resize(used + texts[i].size() * 2 + 64);
        std::size_t length = 0;
        kesti_status status = KESTI_ERROR_OUTPUT_TOO_SMALL;
        for (int attempt = 0; attempt < 2 && status == KESTI_ERROR_OUTPUT_TOO_SMALL; ++attempt) {
            if (attempt) out.resize(used + length + 1);
            status = kesti_convert(&converter, texts[i].data(), texts[i].size(), out.data() + used, out.size() - used,
                                   &length, nullptr);
        }
        out.resize(status == KESTI_OK ? used + length : used);
        if (status != KESTI_OK) {
            failed = i;
            return status;
        }
        ends.push_back(out.size());
    }
    return KESTI_OK;
}

// The size of kesti_options in the first header, which ended with
// alternatives_table; conventional and conventional_table came later.
constexpr std::size_t kOldestOptionsSize = offsetof(kesti_options, conventional);

void Fail(kesti_error* error, kesti_status status, int systemError, const std::string& path) {
    if (!error) return;
    error->status = status;
    error->system_error = systemError;
    const std::size_t n = std::min(path.size(), sizeof error->path - 1);
    std::memcpy(error->path, path.data(), n);
    error->path[n] = '\0';
}

kesti_status StatusOf(kesti::TablesStatus status) {
    switch (status) {
        case kesti::TablesStatus::Ok:
            return KESTI_OK;
        case kesti::TablesStatus::Missing:
            return KESTI_ERROR_TABLE_MISSING;
        case kesti::TablesStatus::Unreadable:
            return KESTI_ERROR_TABLE_UNREADABLE;
        case kesti::TablesStatus::OutOfMemory:
            return KESTI_ERROR_NO_MEMORY;
        case kesti::TablesStatus::NotRegularFile:
            return KESTI_ERROR_TABLE_NOT_REGULAR;
        case kesti::TablesStatus::BadLine:
            return KESTI_ERROR_TABLE_LINE;
    }
    return KESTI_ERROR_TABLE_UNREADABLE;
}

// The directory the tables are read from when the options name none: where
// the exported functions look.
bool DefaultDirectory(std::string& directory, kesti_error* error) {
    char buffer[4096];
    std::int32_t code = 0;
    const std::uint32_t length = kesti::GetTableDirectory(buffer, sizeof buffer, code);
    if (length == 0 || length >= sizeof buffer) {
        Fail(error, KESTI_ERROR_TABLE_MISSING, length == 0 ? code : ENAMETOOLONG, "");
        return false;
    }
    directory.assign(buffer, length);
    return true;
}

std::string PathOf(const std::string& directory, const char* given, const char* name) {
    return given ? std::string(given) : directory + kesti::kPathSeparator + name;
}

kesti_status Open(const kesti_options& o, kesti_converter*& made, kesti_error* error) {
    // Every choice one of its words' values (api/vocabulary.h).
    bool known = o.mode >= KESTI_MODE_TEXT && o.mode <= KESTI_MODE_EXACT_WORDS && (o.lines == 0 || o.lines == 1) &&
                 !(o.add_table_count > 0 && !o.add_tables);
    for (const kesti::Choice& choice : kesti::kChoices) {
        const int value = kesti::ChoiceOf(o, choice);
        bool listed = false;
        for (std::size_t i = 0; i < choice.count; ++i) listed = listed || choice.words[i].value == value;
        known = known && listed;
    }
    if (!known) {
        Fail(error, KESTI_ERROR_ARGUMENT, 0, "");
        return KESTI_ERROR_ARGUMENT;
    }
    for (std::size_t i = 0; i < o.add_table_count; ++i) {
        if (o.add_tables[i]) continue;
        Fail(error, KESTI_ERROR_ARGUMENT, 0, "");
        return KESTI_ERROR_ARGUMENT;
    }
    // An empty table_dir means the default, as NULL does (and as an empty
    // KESTI_TABLE_DIR or an empty --tables of the command).
    std::string directory = o.table_dir ? o.table_dir : "";
    const bool needsDirectory =
        directory.empty() &&
        (o.mode == KESTI_MODE_TEXT
             ? !(o.syllable_table && o.word_table && o.english_table && o.alternatives_table && o.conventional_table)
             : !(o.mode == KESTI_MODE_EXACT_SYLLABLES ? o.syllable_table : o.word_table));
    if (needsDirectory && !DefaultDirectory(directory, error)) return KESTI_ERROR_TABLE_MISSING;

    auto converter = std::make_unique<kesti_converter>();
    converter->id = ++gConverters;
    converter->mode = static_cast<kesti_mode>(o.mode);
    if (o.mode == KESTI_MODE_TEXT) {
        converter->text = kesti::TextOptionsOf(o);
        kesti::TablePaths paths;
        paths.syllables = PathOf(directory, o.syllable_table, kesti::kSyllableTableName);
        paths.words = PathOf(directory, o.word_table, kesti::kWordTableName);
        paths.english = PathOf(directory, o.english_table, kesti::kEnglishTableName);
        paths.alternatives = PathOf(directory, o.alternatives_table, kesti::kAlternativesTableName);
        paths.conventional = PathOf(directory, o.conventional_table, kesti::kConventionalTableName);
        for (std::size_t i = 0; i < o.add_table_count; ++i) paths.added.emplace_back(o.add_tables[i]);
        kesti::TablesError failure;
        if (!kesti::LoadTextTables(paths, converter->tables, failure)) {
            const kesti_status status = StatusOf(failure.status);
            Fail(error, status, status == KESTI_ERROR_TABLE_LINE ? static_cast<int>(failure.line) : failure.systemError,
                 failure.path);
            return status;
        }
    } else {
        const bool words = o.mode == KESTI_MODE_EXACT_WORDS;
        const std::string path = words ? PathOf(directory, o.word_table, kesti::kWordTableName)
                                       : PathOf(directory, o.syllable_table, kesti::kSyllableTableName);
        kesti::TablesError failure;
        if (!kesti::LoadNamedTable(path, converter->exact.table, failure)) {
            const kesti_status status = StatusOf(failure.status);
            Fail(error, status, failure.systemError, failure.path);
            return status;
        }
        // A converter lives for many conversions: the index pays off.
        kesti::BuildLookupIndex(converter->exact.table);
    }
    made = converter.release();
    return KESTI_OK;
}

}  // namespace

namespace kesti {

TextOptions TextOptionsOf(const kesti_options& o) {
    TextOptions text;
    text.hyphens = o.hyphens == KESTI_HYPHENS_KEEP ? HyphenStyle::Keep : HyphenStyle::Join;
    text.tones = o.tones == KESTI_TONES_NUMBERS ? ToneStyle::Numbers
                 : o.tones == KESTI_TONES_NONE  ? ToneStyle::None
                                                : ToneStyle::Marks;
    text.englishGuard = o.english == KESTI_ENGLISH_GUARD;
    text.convertConventional = o.conventional == KESTI_CONVENTIONAL_CONVERT;
    text.lines = o.lines == 1;
    return text;
}

}  // namespace kesti

extern "C" {

KESTI_API void kesti_options_init(kesti_options* options) noexcept {
    if (!options) return;
    *options = kesti_options{};
    options->size = sizeof(kesti_options);
}

KESTI_API kesti_status kesti_open(const kesti_options* options, kesti_converter** converter,
                                  kesti_error* error) noexcept {
    if (error) {
        error->status = KESTI_OK;
        error->system_error = 0;
        error->path[0] = '\0';
    }
    if (!converter) {
        Fail(error, KESTI_ERROR_ARGUMENT, 0, "");
        return KESTI_ERROR_ARGUMENT;
    }
    *converter = nullptr;
    kesti_options chosen;
    kesti_options_init(&chosen);
    if (options) {
        // A caller built against an older header passes a shorter struct:
        // the fields it knows are taken, the rest keep their defaults. An
        // unset size, or a struct from a newer header than this library's,
        // is refused rather than read past or half understood.
        if (options->size < kOldestOptionsSize || options->size > sizeof(kesti_options)) {
            Fail(error, KESTI_ERROR_ARGUMENT, 0, "");
            return KESTI_ERROR_ARGUMENT;
        }
        std::memcpy(&chosen, options, options->size);
    }
    try {
        return Open(chosen, *converter, error);
    } catch (const std::bad_alloc&) {
        Fail(error, KESTI_ERROR_NO_MEMORY, ENOMEM, "");
        return KESTI_ERROR_NO_MEMORY;
    } catch (...) {
        Fail(error, KESTI_ERROR_NO_MEMORY, 0, "");
        return KESTI_ERROR_NO_MEMORY;
    }
}

KESTI_API void kesti_close(kesti_converter* converter) noexcept { delete converter; }

KESTI_API kesti_status kesti_convert(const kesti_converter* converter, const char* input, size_t input_size,
                                     char* output, size_t capacity, size_t* length, kesti_report** report) noexcept {
    if (report) *report = nullptr;
    if (!converter || !length || (!input && input_size > 0) || (!output && capacity > 0)) return KESTI_ERROR_ARGUMENT;
    try {
        const std::string_view text(input ? input : "", input_size);
        // The text mode's output goes to a buffer the thread keeps, as its
        // stream: a batch of short texts allocates none for each.
        std::string owned;
        std::string* converted = converter->mode == KESTI_MODE_TEXT ? &tStream.converted : &owned;
        converted->clear();
        std::unique_ptr<kesti_report> made;
        if (converter->mode == KESTI_MODE_TEXT) {
            if (report) made = std::make_unique<kesti_report>();
            kesti::TextStream& stream = StreamFor(*converter);
            std::string error;
            std::vector<kesti::ReportRecord>* records = made ? &made->records : nullptr;
            const bool ok = stream.Feed(text, *converted, records, error) && stream.Finish(*converted, records, error);
            const std::uint64_t offset = stream.ErrorOffset();
            // A long text leaves buffers as long: not kept for the thread.
            if (text.size() > kKeptStreamText) {
                owned.swap(tStream.converted);
                converted = &owned;
                tStream = {};
            }
            if (!ok) {
                *length = static_cast<size_t>(offset);
                return KESTI_ERROR_INVALID_UTF8;
            }
        } else {
            const kesti::StreamResult r =
                kesti::ConvertString(converter->exact.table, kesti::Encoding::Utf8, text, owned);
            if (!r.ok) {
                *length = static_cast<size_t>(r.errorOffset);
                return KESTI_ERROR_INVALID_UTF8;
            }
        }
        *length = converted->size();
        if (converted->size() > capacity) return KESTI_ERROR_OUTPUT_TOO_SMALL;
        if (!converted->empty()) std::memcpy(output, converted->data(), converted->size());
        if (capacity > converted->size()) output[converted->size()] = '\0';
        if (report) *report = made.release();
        return KESTI_OK;
    } catch (...) {
        return KESTI_ERROR_NO_MEMORY;
    }
}

KESTI_API kesti_status kesti_convert_many(const kesti_converter* converter, const char* const* texts,
                                          const size_t* input_sizes, size_t count, char* output, size_t capacity,
                                          size_t* ends, size_t* length, size_t* failed) noexcept {
    if (failed) *failed = 0;
    if (!converter || !length || !failed || (count > 0 && (!texts || !input_sizes || !ends)) ||
        (!output && capacity > 0))
        return KESTI_ERROR_ARGUMENT;
    try {
        std::vector<std::string_view> views(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (!texts[i] && input_sizes[i] > 0) {
                *failed = i;
                return KESTI_ERROR_ARGUMENT;
            }
            views[i] = std::string_view(texts[i] ? texts[i] : "", input_sizes[i]);
        }
        // Malformed UTF-8 fails the batch before anything converts; the
        // offset is the one a call on that text alone gives.
        for (std::size_t i = 0; i < count; ++i) {
            if (kesti::IsValidUtf8(views[i])) continue;
            *failed = i;
            const kesti_status status =
                kesti_convert(converter, views[i].data(), views[i].size(), nullptr, 0, length, nullptr);
            if (status != KESTI_ERROR_OUTPUT_TOO_SMALL) return status;
            *length = 0;
            return KESTI_ERROR_INVALID_UTF8;
        }
        std::string out;
        std::vector<std::size_t> at;
        if (const kesti_status status = ConvertTexts(*converter, views.data(), count, out, at, *failed);
            status != KESTI_OK)
            return status;
        *length = out.size();
        if (out.size() > capacity) return KESTI_ERROR_OUTPUT_TOO_SMALL;
        if (!out.empty()) std::memcpy(output, out.data(), out.size());
        if (capacity > out.size()) output[out.size()] = '\0';
        std::copy(at.begin(), at.end(), ends);
        return KESTI_OK;
    } catch (...) {
        return KESTI_ERROR_NO_MEMORY;
    }
}

KESTI_API size_t kesti_report_size(const kesti_report* report) noexcept { return report ? report->records.size() : 0; }

KESTI_API kesti_status kesti_report_record(const kesti_report* report, size_t index, kesti_record* record) noexcept {
    if (!report || !record || index >= report->records.size()) return KESTI_ERROR_ARGUMENT;
    const kesti::ReportRecord& r = report->records[index];
    record->line = r.line;
    record->column = r.column;
    record->original = r.original.c_str();
    record->result = r.result.c_str();
    record->decision = static_cast<kesti_decision>(r.decision);
    record->decision_name = kesti::DecisionName(r.decision);
    record->ambiguous = r.ambiguous ? 1 : 0;
    record->alternatives = r.alternatives.c_str();
    return KESTI_OK;
}

KESTI_API void kesti_report_free(kesti_report* report) noexcept { delete report; }

KESTI_API const char* kesti_status_message(kesti_status status) noexcept {
    switch (status) {
        case KESTI_OK:
            return "success";
        case KESTI_ERROR_ARGUMENT:
            return "an argument is missing or out of range";
        case KESTI_ERROR_TABLE_MISSING:
            return "a table file does not exist";
        case KESTI_ERROR_TABLE_UNREADABLE:
            return "a table file cannot be read";
        case KESTI_ERROR_NO_MEMORY:
            return "out of memory";
        case KESTI_ERROR_INVALID_UTF8:
            return "the input is not valid UTF-8";
        case KESTI_ERROR_OUTPUT_TOO_SMALL:
            return "the output buffer is too small";
        case KESTI_ERROR_TABLE_NOT_REGULAR:
            return "not a regular file";
        case KESTI_ERROR_TABLE_LINE:
            return "a line of a table of one's own is wrong";
    }
    return "unknown status";
}

}  // extern "C"
