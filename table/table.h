// Conversion tables: reading a table file into records and finding the
// longest key at a position of the input.
//
// A table file holds one record per line: the key, one tab, the value. Lines
// end at CR or LF; a pair of break bytes (CR LF, LF CR, CR CR, LF LF) is one
// break. A line without a tab yields no record; a line with several tabs
// keeps only the text between the first and the second tab as its value.
// Only the first kMaxTableBytes bytes of a file are used, and a line cut by
// that limit is dropped whole rather than kept truncated.
//
// The table owns one text buffer holding the file's bytes; splitting writes
// NULs over tabs and line breaks, so every key and value is a NUL-terminated
// string inside it. Nothing here writes files, keeps state between calls or
// talks to the operating system beyond reading the one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/bits.h"
#include "text/text_rules.h"

namespace kesti {

// The file names of the two shipped tables, in whatever directory holds them.
inline constexpr char kSyllableTableName[] = "kestisyl.txt";
inline constexpr char kWordTableName[] = "kestiwrd.txt";

inline constexpr std::size_t kMaxTableBytes = 1000000;
// The record array holds 500,000 entries, the end marker included.
inline constexpr std::size_t kMaxRecords = 499999;

struct TableRecord {
    const char* key;    // NUL-terminated, inside the table's text buffer
    const char* value;  // NUL-terminated, inside the table's text buffer
};

// A record's key with its length, without reading it: the key ends at the
// one tab before its value, which the split made a NUL.
inline std::string_view KeyOf(const TableRecord& r) { return {r.key, static_cast<std::size_t>(r.value - r.key - 1)}; }

struct LookupIndex;

struct ConversionTable {
    char* text = nullptr;            // the file's bytes, split in place
    TableRecord* records = nullptr;  // sorted by key; records[count].key == nullptr
    std::size_t count = 0;
    std::size_t maxKeyLength = 0;    // no match covers more input bytes than this
    std::size_t maxValueLength = 0;  // no match emits more bytes than this
    // firstByteEnd[c] is one past the last record whose folded first key byte
    // is <= c, so the records starting with c are [firstByteEnd[c-1], firstByteEnd[c]).
    std::uint32_t firstByteEnd[256] = {};
    // The keys' steps in a hash table for long inputs, or null; see
    // BuildLookupIndex. Lookups give the same results with or without it.
    LookupIndex* index = nullptr;
};

enum class LoadStatus {
    Ok,
    OpenFailed,      // the file is missing or cannot be opened
    ReadFailed,      // the file opened but reading it failed (a directory, an I/O error)
    OutOfMemory,     // the text buffer or the record array could not be obtained
    NotRegularFile,  // the path names a FIFO, a device or a socket, which is never read
};

// Reads, splits and sorts the table file at `path` into `table`, which must be
// empty. On any status but Ok the table stays empty and nothing is held.
// When `systemError` is given, it receives errno for OpenFailed and ReadFailed.
// A FIFO is refused without waiting for a writer: the call never blocks.
LoadStatus LoadTable(const char* path, ConversionTable& table, int* systemError = nullptr);

// Bytes a table's text buffer holds past its data: the NUL that ends the
// data, and room for the splitter to read the end of the text a block of 64
// at a time, and one byte past a block.
inline constexpr std::size_t kTextPadding = 128;

// Splits `size` bytes already in `text` and sorts the records: the part of
// LoadTable after the read. `text` must come from std::malloc with room for
// size + kTextPadding bytes; the table takes ownership of it, on failure too.
// `cutAtLimit` says the bytes end inside a line that continues past them.
LoadStatus BuildTable(char* text, std::size_t size, bool cutAtLimit, ConversionTable& table);

// The same as LoadTable and BuildTable for converting `input` alone: of
// the records, only those whose key begins with a letter and whose first
// three bytes (folded; a shorter key whole) occur in `input` are made, with
// now and then one more. The others could never match there, so a conversion of `input` gives the same
// bytes with this table as with the whole one, and for a short input it
// costs little more than reading the file. The table is good for nothing
// else: its counts, longest key and longest value describe the records made.
LoadStatus LoadTableForInput(const char* path, const char* input, std::size_t inputSize, ConversionTable& table,
                             int* systemError = nullptr);
// `scan` chooses how lines are found: the fastest way this processor
// offers, or the way every processor has (for tests of that way).
enum class TableScan { Best, Portable };
LoadStatus BuildTableForInput(char* text, std::size_t size, bool cutAtLimit, const char* input, std::size_t inputSize,
                              ConversionTable& table, TableScan scan = TableScan::Best);

// Frees the text buffer, the record array and the index; the table is empty
// afterwards.
void ReleaseTable(ConversionTable& table);

// Builds table.index, a hash table of the keys that begin with a letter,
// read a run of letters or another byte at a time (see table/index.h). A
// lookup then follows the input a step at a time instead of narrowing the
// record array with binary searches, which is many times faster; building
// it costs about as much as converting a few times the table's own size, so
// it pays off only on long inputs (see IndexPaysOff). Returns false, leaving
// the table without an index, when memory for it cannot be had.
bool BuildLookupIndex(ConversionTable& table);

// Whether converting `inputSize` bytes with `table` is worth building its index.
bool IndexPaysOff(const ConversionTable& table, std::size_t inputSize);

// A key is read in steps: each maximal run of letters is one step, with the
// byte before it when that is no letter, and any other byte is a step of its
// own; a step longer than eight bytes is cut after every eight (see
// table/index.h, whose entries are steps).
// One step read from bytes that are a key or the input (see table/index.h):
// its bytes as IndexStep::step, its length, and whether it is eight bytes
// that a run of letters goes on past. It reads nine bytes at `p`; a NUL
// counts as no letter, so the end of a key ends its steps.
struct Step {
    std::uint64_t step;
    std::size_t length;
    bool goesOn;
};
inline Step ReadStep(const char* p) {
    const auto first = static_cast<unsigned char>(p[0]);
    const bool letterFirst = IsLetter(first);
    // A byte that is no letter, on its own unless letters follow it.
    if (!letterFirst && !IsLetter(static_cast<unsigned char>(p[1]))) return {first, 1, false};
    const std::uint64_t word = LoadWord(p);
    const std::uint64_t letters = LetterBytes(word);
    std::uint64_t others = ~letters & (0x80 * kEveryByte);
    if (!letterFirst) others &= ~std::uint64_t{0x80};
    const std::uint64_t step = word | letters >> 2;
    if (others == 0) return {step, 8, IsLetter(static_cast<unsigned char>(p[8]))};
    const std::size_t n = static_cast<std::size_t>(std::countr_zero(others)) / 8;
    return {step & ((std::uint64_t{1} << (8 * n)) - 1), n, false};
}

// A pass that converts a run of letters at a time asks the table's index
// through these. What a lookup at a run's first letter came to:
struct RunMatch {
    std::uint32_t value = 0;  // the value's offset in the table's text plus one; 0 for none
    std::uint32_t valueLength = 0;
    std::size_t consumed = 0;       // the input bytes the key covers
    bool walked = false;            // the lookup read past the byte after the run
    bool secondRead = false;        // it read exactly the next step and the byte after that
    std::uint64_t second = 0;       // then: that step, as Step::step
    unsigned char secondAfter = 0;  // and that byte
};

// Whether the table has an index a pass can ask by runs (its keys are not
// too long for it).
bool IndexedByRuns(const ConversionTable& table);

// Whether lookups at the first letters of runs mostly settle the runs
// alone: a pass then does well to remember what runs came to.
bool RunsSettleAlone(const ConversionTable& table);

// The longest acceptable key at p[0], where a run of `run` letters begins,
// `available` bytes are input from p, and at least sixteen can be read.
// False when no key matches; `match` then still says what was read.
bool MatchRun(const ConversionTable& table, const char* p, std::size_t available, std::size_t run, RunMatch& match);

// Whether a key may begin at p[0], judged by its first two bytes (always
// true without an index); false means LookupAtCursor finds nothing there.
bool KeyMayBeginAt(const ConversionTable& table, const char* p, std::size_t available);

// Whether a key may match at p[0], followed by exactly `letters` letters up
// to the end of its run; false means none does.
bool KeyMayMatchAt(const ConversionTable& table, const char* p, std::size_t available, std::size_t letters);

enum class CaseMode {
    AsIs = 0,         // the value as stored
    Capitalized = 1,  // the value's first byte raised
    AllCaps = 2,      // every byte of the value raised
};

struct MatchResult {
    const char* value = nullptr;  // inside the table's text buffer
    std::size_t valueLength = 0;  // strlen(value)
    std::size_t consumed = 0;     // input bytes covered by the key
    CaseMode caseMode = CaseMode::AsIs;
};

// Finds the longest key that matches the input at text[0], ignoring the case
// of ASCII letters, that is not followed by a letter, and that, if it runs
// past the run of letters starting at text[0], is not followed by a hyphen
// either. With keys "ch'ang" and "pei": "ch'ang." and "Pei-ching" match,
// "ch'ang-an" and "changx" do not.
//
// `size` is the number of input bytes available from text[0]; a position at
// or past it reads as the end of the input. The lookup reads at most
// table.maxKeyLength + 1 bytes. Among keys that are equal ignoring case,
// the record that stood last in the file wins.
bool LookupAtCursor(const ConversionTable& table, const char* text, std::size_t size, MatchResult& match);

// Lookups at successive cursors of one input, as the conversion pass makes
// them. For a table with keys longer than any real word, it remembers where
// the run of letters at the cursor ends, so that positions where no key
// can end (a key is never followed by a letter) are not looked up at all:
// in a long run of letters each lookup would otherwise cost up to the
// longest key. For real tables it is LookupAtCursor. Cursors must not go
// backwards.
struct LookupScan {
    std::size_t runEnd = 0;  // one past the run of letters seen last
};
bool LookupInScan(const ConversionTable& table, const char* input, std::size_t size, std::size_t cursor,
                  LookupScan& scan, MatchResult& match);

// Owns a loaded table and releases it: for tables that live longer than one
// function (the command's, the text engine's). Movable, not copyable.
struct TableOwner {
    ConversionTable table;
    TableOwner() = default;
    ~TableOwner() { ReleaseTable(table); }
    TableOwner(TableOwner&& other) noexcept : table(other.table) { other.table = ConversionTable{}; }
    TableOwner& operator=(TableOwner&& other) noexcept {
        if (this != &other) {
            ReleaseTable(table);
            table = other.table;
            other.table = ConversionTable{};
        }
        return *this;
    }
    TableOwner(const TableOwner&) = delete;
    TableOwner& operator=(const TableOwner&) = delete;
};

}  // namespace kesti
