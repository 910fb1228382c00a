// Converting running text: documents in English (or any language) that hold
// Wade-Giles words, converted the way a careful editor would.
//
// Unlike the exact pass in api/, which replaces every longest key wherever a
// letter stands, this engine works on whole words:
//   - a romanized word is a run of syllables joined by hyphens (-, U+2010,
//     U+2011); a syllable is letters with an optional aspiration apostrophe
//     (' ‘ ’ ʻ ʼ ʽ `) after its initial, ü, ê and ŭ precomposed or with
//     combining marks, and an optional tone (1-5 or ¹ ² ³ ⁴ ⁵) at its end;
//   - a word converts only when every syllable is a Wade-Giles syllable, and
//     never in part: "Tsingtao", "also" and "Toronto" stay as written;
//   - the word table is tried first across whole words ("Mao Tse-tung" ->
//     "Mao Zedong"); other words convert syllable by syllable and are joined
//     in Pinyin orthography ("Hsi-an" -> "Xi'an");
//   - case is taken per word: lower, Capitalized or CAPITALS;
//   - English words that are also syllables ("to", "an", "Sun") are weighed
//     by their context, and sentences written in Pinyin are left alone.
// Every romanized word found can be reported with what decided it.
//
// Text is UTF-8 (or Windows-1252 bytes, decoded and encoded at the edges).
// Input is taken in chunks of any size; the output is the same whatever
// the chunking, and memory stays bounded whatever the input: text is
// decided a paragraph at a time (a paragraph ends at a blank line, or after
// kScopeBytes at the next character that is no part of a word), and a run
// of word characters longer than kMaxWordBytes is not a word and passes
// through unchanged.
//
// A TextTables is immutable once loaded; any number of TextStreams on any
// threads may share it. A TextStream belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/transcode.h"

namespace kesti {

enum class HyphenStyle { Join, Keep };          // "Zuolin" or "Zuo-lin"
enum class ToneStyle { Marks, Numbers, None };  // "Máo", "Mao2" or "Mao"

struct TextOptions {
    HyphenStyle hyphens = HyphenStyle::Join;
    ToneStyle tones = ToneStyle::Marks;
    bool englishGuard = true;          // false: English words that are syllables convert too
    bool convertConventional = false;  // true: established spellings (Peking) convert too
    // true: each line is one item (a name, a place, a title) that lends no
    // evidence to another, and converts when it is romanized Chinese even
    // as one word ("Ho", "Sung").
    bool lines = false;
    // true: each line is an item of a batch, converted as it would be
    // alone, in the mode `lines` says; set by ConvertBatch, not by callers.
    bool items = false;
    Encoding encoding = Encoding::Utf8;
    // A TextStream asked for no report converts this many paragraphs at
    // once, one on the calling thread and each other on a thread of its
    // own, and writes them in order: the output is the same as on one
    // thread. Each thread keeps a few megabytes of words; with more than
    // one, a paragraph's result is held back until the others of its
    // batch are ready (or the stream finishes).
    unsigned threads = 1;
};

// What decided a romanized word.
enum class Decision : unsigned char {
    WordTable,     // converted by a word-table key
    Syllables,     // converted syllable by syllable
    English,       // left: an English word in an English context
    NotWadeGiles,  // left: some of its syllables are not Wade-Giles
    Pinyin,        // left: the sentence is written in Pinyin
    Established,   // an established spelling (Peking, Chiang Kai-shek): left, or converted when asked
};

// The report's name for a decision: "word table", "syllables", "left as
// English", "left as not Wade-Giles", "left as Pinyin text", "established
// spelling".
const char* DecisionName(Decision decision);

struct ReportRecord {
    std::uint64_t line = 0;    // 1-based; a line ends at LF, CR or CR LF
    std::uint64_t column = 0;  // 1-based, in characters (code points)
    std::string original;      // as written (UTF-8)
    std::string result;        // as written out (UTF-8); equal to original when left
    Decision decision = Decision::Syllables;
    bool ambiguous = false;    // an English word or name that could be read either way
    std::string alternatives;  // other readings of its syllables: "lo: luo/le; chu: zhu/ju";
                               // for an established spelling left as written, its Pinyin
};

struct Lexicon;  // the loaded tables; defined in prose/lexicon.h
struct ConversionTable;  // one table; defined in table/table.h

// The tables the engine reads, loaded once: the syllable table
// kestisyl.txt, the word table kestiwrd.txt, the English words kestieng.txt,
// the other readings kestialt.txt and the established spellings
// kesticnv.txt, all in `directory`.
struct TextTables {
    std::shared_ptr<const Lexicon> lexicon;
};

enum class TablesStatus { Ok, Missing, Unreadable, OutOfMemory, NotRegularFile, BadLine };

struct TablesError {
    TablesStatus status = TablesStatus::Ok;
    std::string path;        // the file that failed
    int systemError = 0;     // errno, for Missing and Unreadable
    std::uint64_t line = 0;  // for BadLine: the 1-based line of a table of one's own
    std::string reason;      // for BadLine: what is wrong with it
};

// Loads one table file as the exact mode reads it; false with what failed
// in `error` (Missing, Unreadable, OutOfMemory or NotRegularFile).
bool LoadNamedTable(const std::string& path, ConversionTable& table, TablesError& error);

// Why a table could not be loaded, for a message: "not a regular file",
// "line 3: no tab", or the system's text for its errno.
std::string TablesErrorReason(const TablesError& error);

// Loads the five tables from `directory`. On failure `tables` is unchanged
// and `error` names the file and the reason.
bool LoadTextTables(const std::string& directory, TextTables& tables, TablesError& error);

// The same with each table's file named on its own.
struct TablePaths {
    std::string syllables, words, english, alternatives, conventional;
    // Tables of one's own names (local names, house spellings), consulted
    // before all the others: UTF-8, one Wade-Giles key, a tab and the Pinyin
    // wanted a line (blank lines and lines that begin with # are skipped),
    // every character one Windows-1252 holds. A key listed again, here or in
    // a later table, takes the later value.
    std::vector<std::string> added;
};
bool LoadTextTables(const TablePaths& paths, TextTables& tables, TablesError& error);

// The same from the five tables' bytes already in memory (a test's or a
// fuzzer's), split as the files would be. Fails only for want of memory.
struct TableTexts {
    std::string_view syllables, words, english, alternatives, conventional;
};
bool BuildTextTables(const TableTexts& texts, TextTables& tables, TablesError& error);

// Bounds that keep memory flat on any input.
inline constexpr std::size_t kScopeBytes = 64 * 1024;
inline constexpr std::size_t kMaxWordBytes = 256;

// Converts one stream of text. Feed it chunks, then Finish; each call
// appends converted bytes to `out` (and report records to `report` when it
// is not null). Malformed UTF-8 stops the stream: the call returns false
// with "invalid UTF-8 at byte offset N" in `error`, and the stream takes
// nothing more.
struct TextStream {
    TextStream(const TextTables& tables, const TextOptions& options);
    ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool Feed(std::string_view chunk, std::string& out, std::vector<ReportRecord>* report, std::string& error);
    bool Finish(std::string& out, std::vector<ReportRecord>* report, std::string& error);
    // After malformed UTF-8: the byte offset of the sequence.
    std::uint64_t ErrorOffset() const;
    // Makes the stream as new for another text, keeping its buffers and
    // the words it has read (which depend on the tables and options alone).
    void Reset();
    // Converts each of `count` texts (valid UTF-8; options.encoding must be
    // UTF-8) as Feed and Finish would after a Reset, appending the results
    // to `out` one after another and where each ends in `out` to `ends`.
    // Short texts of one line are converted many to a scope, each weighed
    // as if alone: a batch of catalogue strings runs each stage over all
    // of them at once, not over a few words at a time. Leaves the stream
    // as Reset does.
    void ConvertBatch(const std::string_view* texts, std::size_t count, std::string& out,
                      std::vector<std::size_t>& ends);

    struct State;
    std::unique_ptr<State> state;
};

// Converts a whole text at once: Feed and Finish in one call.
bool ConvertRunningText(const TextTables& tables, const TextOptions& options, std::string_view text, std::string& out,
                        std::vector<ReportRecord>* report, std::string& error);

// Converts items one at a time, each on its own as lines mode converts a
// line: a field of a table, an entry of a list. Cheaper than a TextStream
// per item: its buffers serve one item after the other. The item must be
// valid UTF-8, and so is what it appends, whatever options.encoding says
// (the encoding only chooses the tone marks it may write).
struct ItemConverter {
    ItemConverter(const TextTables& tables, const TextOptions& options);
    ~ItemConverter();
    ItemConverter(const ItemConverter&) = delete;
    ItemConverter& operator=(const ItemConverter&) = delete;

    // Appends `item` converted to `out`, and its report records to `report`
    // when it is not null, their positions counted from `line` and `column`
    // (where the item begins in its file).
    void Convert(std::string_view item, std::uint64_t line, std::uint64_t column, std::string& out,
                 std::vector<ReportRecord>* report);

    struct State;
    std::unique_ptr<State> state;
};

// One report record of a word found in `file` as a line of tab-separated
// values, with the header the report starts with: file, line, column,
// original, result, decision, ambiguous, alternatives. Tabs, line breaks and
// backslashes inside a field are written as \t, \n, \r and \\.
extern const char kReportHeader[];
std::string FormatReportRecord(std::string_view file, const ReportRecord& record);
// A field of such a line, escaped.
void AppendReportField(std::string& line, std::string_view value);

}  // namespace kesti
