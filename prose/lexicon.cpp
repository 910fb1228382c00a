// Loading the engine's tables and the lookups it makes in them.
#include "prose/lexicon.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/table_dir.h"
#include "prose/chars.h"
#include "prose/prose.h"
#include "prose/word_hash.h"
#include "text/bits.h"
#include "text/encoding.h"
#include "text/text_rules.h"
#include "text/transcode.h"

namespace kesti {
namespace {

TablesError Failure(TablesStatus status, std::string path, int systemError, std::uint64_t line = 0,
                    std::string reason = {}) {
    TablesError error;
    error.status = status;
    error.path = std::move(path);
    error.systemError = systemError;
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

// A hash of `key` folded as lookups fold it: of a word-table key looked up
// whole (Lexicon::wholeKeys), and of a word keys begin with
// (Lexicon::keyStarts). Eight bytes at a time, as the words of a text are
// hashed: the loading hashes some fifty thousand keys, and a byte at a time
// was a chain of as many multiplies.
std::uint32_t FoldedHash(std::string_view key) {
    const std::uint64_t h = LowerHashOf(key);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Indexes the word table's keys that begin with a letter, by their folded
// bytes, for WholeKey. Returns the records whose keys hold a space (keys
// across words), found on the way.
std::vector<std::uint32_t> IndexWholeKeys(Lexicon& lexicon) {
    const ConversionTable& table = lexicon.wordTable;
    // A slot for every record and a quarter more, rounded up to a power of
    // two (a start of the command touches every slot).
    std::size_t size = 16;
    while (size < table.count + table.count / 4) size *= 2;
    std::vector<std::uint32_t>& slots = lexicon.wholeKeys;
    slots.assign(size, 0);
    std::vector<std::uint32_t> acrossWords;
    for (std::size_t i = 0; i < table.count; ++i) {
        const std::string_view whole = KeyOf(table.records[i]);
        if (whole.find(' ') != std::string_view::npos) acrossWords.push_back(static_cast<std::uint32_t>(i));
        if (whole.empty() || !IsLetter(static_cast<unsigned char>(whole[0]))) continue;
        const std::uint32_t hash = FoldedHash(whole);
        std::size_t slot = hash & (size - 1);
        // Records equal but for case sit side by side: the last one stays.
        while (slots[slot] && !SameIgnoringCase(KeyOf(table.records[(slots[slot] & Lexicon::kWholeRecord) - 1]), whole))
            slot = (slot + 1) & (size - 1);
        slots[slot] = static_cast<std::uint32_t>(i + 1) | (hash & ~Lexicon::kWholeRecord);
    }
    return acrossWords;
}

// The slot of Lexicon::keyStarts a word's bits are kept in.
std::size_t KeyStartSlot(std::string_view word) { return FoldedHash(word) & ((1u << Lexicon::kKeyStartBits) - 1); }

// What each byte of a table's key or value becomes where the engine
// compares it: lower case, every apostrophe the tables use (' and the
// typographic 0x91, 0x92) written ', and Ü, Ê as ü, ê.
struct NormalBytes {
    unsigned char to[256];
    constexpr NormalBytes() : to() {
        for (int b = 0; b < 256; ++b) to[b] = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
        to[0x91] = to[0x92] = '\'';
        to[0xDC] = 0xFC;
        to[0xCA] = 0xEA;
    }
};
constexpr NormalBytes kNormal;

// A normalized spelling without aspiration apostrophes, ü and ê, as a
// text that dropped them writes it; written into `out`, which is reused.
std::string_view Stripped(std::string_view normalized, std::string& out) {
    out.resize(normalized.size());
    std::size_t n = 0;
    for (char c : normalized) {
        if (c == '\'') continue;
        out[n++] = c == '\xFC' ? 'u' : c == '\xEA' ? 'e' : c;
    }
    out.resize(n);
    return out;
}

// A key or value as the engine compares it (see NormalBytes), written into
// `out`, which is reused from one key to the next: the tables' loading
// normalizes some hundred thousand of them.
std::string_view Normalized(std::string_view s, std::string& out) {
    out.resize(s.size());
    char* to = out.data();
    std::size_t i = 0;
    // Eight ASCII bytes at a time, where only capitals change; from the
    // first byte outside ASCII on, a byte at a time by the table.
    for (; i + 8 <= s.size(); i += 8) {
        const std::uint64_t word = LoadWord(s.data() + i);
        if (word & (0x80 * kEveryByte)) break;
        StoreWord(to + i, LowerCapitals(word));
    }
    for (; i < s.size(); ++i) to[i] = static_cast<char>(kNormal.to[static_cast<unsigned char>(s[i])]);
    return out;
}

// A table's key normalized and stripped at once (Stripped(Normalized(s))).
std::string_view NormalizedStripped(std::string_view s, std::string& out) {
    out.resize(s.size());
    std::size_t n = 0;
    for (const char b : s) {
        const unsigned char c = kNormal.to[static_cast<unsigned char>(b)];
        if (c == '\'') continue;
        out[n++] = static_cast<char>(c == 0xFC ? 'u' : c == 0xEA ? 'e' : c);
    }
    out.resize(n);
    return out;
}

// Whether a table's key holds an aspiration apostrophe, ü or ê, in any case.
bool HoldsMarks(const char* s) { return s[std::strcspn(s, "'\x91\x92\xFC\xDC\xEA\xCA")] != '\0'; }

// A value of the English words' table. The first tables said "word",
// "rare" and "name", which stand for sizes 50 and 70 and a name.
EnglishClass ClassOf(std::string_view value) {
    static constexpr struct {
        std::string_view name;
        EnglishClass value;
    } kNames[] = {
        {"function", EnglishClass::Function}, {"10", EnglishClass::Size10},       {"20", EnglishClass::Size20},
        {"35", EnglishClass::Size35},         {"50", EnglishClass::Size50},       {"70", EnglishClass::Size70},
        {"95", EnglishClass::Size95},         {"name50", EnglishClass::Name50},   {"name95", EnglishClass::Name95},
        {"chinese", EnglishClass::Chinese},   {"surname", EnglishClass::Surname}, {"word", EnglishClass::Size50},
        {"rare", EnglishClass::Size70},       {"name", EnglishClass::Name50}};
    for (const auto& n : kNames)
        if (n.name == value) return n.value;
    return EnglishClass::Size50;
}

}  // namespace

bool LoadNamedTable(const std::string& path, ConversionTable& table, TablesError& error) {
    int systemError = 0;
    switch (LoadTable(path.c_str(), table, &systemError)) {
        case LoadStatus::Ok:
            return true;
        case LoadStatus::OpenFailed:
            error = Failure(TablesStatus::Missing, path, systemError);
            return false;
        case LoadStatus::ReadFailed:
            error = Failure(TablesStatus::Unreadable, path, systemError);
            return false;
        case LoadStatus::OutOfMemory:
            error = Failure(TablesStatus::OutOfMemory, path, ENOMEM);
            return false;
        case LoadStatus::NotRegularFile:
            error = Failure(TablesStatus::NotRegularFile, path, 0);
            return false;
    }
    return false;
}

namespace {

// The lookups' structures over tables already split: the index of the
// word table, the spellings, the English words and the other readings.
// False where the syllable table has more spellings than its lookup holds.
bool Assemble(Lexicon& lexicon) {
    // The word table's keys are asked whole, of most words of a long text
    // and of the words of a name where a key may begin (Lexicon::keyStarts):
    // a hash index finds them. The lookup index over the whole table would
    // cost every start of the command about seven hundred pages of memory.
    const std::vector<std::uint32_t> acrossWords = IndexWholeKeys(lexicon);
    BuildLookupIndex(lexicon.conventionalOwner.table);  // asked at every capitalized word
    const ConversionTable& syllableTable = lexicon.syllableOwner.table;
    const ConversionTable& englishTable = lexicon.englishOwner.table;
    const ConversionTable& alternativeTable = lexicon.alternativeOwner.table;

    std::string buffer, strippedBuffer;
    for (std::size_t i = 0; i < syllableTable.count; ++i) {
        const TableRecord& r = syllableTable.records[i];
        const std::string_view key = Normalized(KeyOf(r), buffer);
        if (lexicon.syllables.Find(key)) continue;
        // A key no spelling can have (a space, a digit) takes no value: a
        // table of such lines must not push the real ones' indexes around.
        if (!lexicon.syllables.Insert(key, static_cast<std::uint32_t>(lexicon.syllableValues.size() + 1))) continue;
        lexicon.syllableValues.push_back(r.value);
        lexicon.syllableMarked.push_back(WadeGilesMarked(key));
        lexicon.pinyin.Insert(Normalized(r.value, buffer), 1);
    }
    lexicon.syllablePinyin.assign(lexicon.syllableValues.size(), false);
    for (std::size_t i = 0; i < syllableTable.count; ++i) {
        const std::string_view key = Normalized(KeyOf(syllableTable.records[i]), buffer);
        if (const std::uint32_t found = lexicon.syllables.Find(key))
            lexicon.syllablePinyin[found - 1] = lexicon.IsPinyin(key, true);
    }
    // Only words spelled in the letters a spelling may hold: no word of
    // the text with another letter (é, a digit) is looked up there.
    lexicon.english.Reserve(englishTable.count);
    for (std::size_t i = 0; i < englishTable.count; ++i) {
        const TableRecord& r = englishTable.records[i];
        const std::string_view key = Normalized(KeyOf(r), buffer);
        if (std::all_of(key.begin(), key.end(),
                        [](char c) { return SpellingTrie::Symbol(static_cast<unsigned char>(c)) >= 0; }))
            lexicon.english.Add(key, ClassOf(r.value));
    }
    // Another reading of a syllable ("lo", le), or of a word: one written
    // right with no mark, that a key with its marks dropped spells too.
    lexicon.firstOlderSyllable = lexicon.syllableValues.size();
    for (std::size_t i = 0; i < alternativeTable.count; ++i) {
        const TableRecord& r = alternativeTable.records[i];
        const std::string key(Normalized(KeyOf(r), buffer));
        if (key.find('-') != std::string::npos) {
            lexicon.writtenRight.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        // A spelling the syllable table leaves out that older texts use
        // ("teh", "tze"): a syllable of the text mode's own.
        if (!lexicon.syllables.Find(key)) {
            if (!lexicon.syllables.Insert(key, static_cast<std::uint32_t>(lexicon.syllableValues.size() + 1))) continue;
            lexicon.syllableValues.push_back(r.value);
            lexicon.syllableMarked.push_back(WadeGilesMarked(key));
            lexicon.syllablePinyin.push_back(false);
            continue;
        }
        std::string& readings = lexicon.alternatives[key];
        if (readings.empty()) readings = std::string(lexicon.Syllable(key));
        // Each reading once: the table lists a spelling with each of its
        // apostrophes (ch'u, ch‘u, ch’u), all normalized alike.
        const std::string_view value = r.value;
        bool listed = false;
        for (std::size_t at = 0; at <= readings.size() && !listed;) {
            const std::size_t slash = std::min(readings.find('/', at), readings.size());
            listed = std::string_view(readings).substr(at, slash - at) == value;
            at = slash + 1;
        }
        if (listed) continue;
        readings += '/';
        readings += value;
    }
    // A list cut short would change results without a word: refused instead.
    const bool fits = !lexicon.syllables.Full() && !lexicon.pinyin.Full();
    const ConversionTable& words = lexicon.wordTable;
    // The first word of every key across words, and every key of the
    // tables matched over single words too; the most words a key holds
    // (up to 16).
    // `only`: the records to read, or null for all of them.
    auto starts = [&](const ConversionTable& table, unsigned bit, const std::vector<std::uint32_t>* only) {
        std::size_t most = 1;
        for (std::size_t k = 0, n = only ? only->size() : table.count; k < n; ++k) {
            const std::size_t i = only ? (*only)[k] : k;
            const std::string_view key = Normalized(KeyOf(table.records[i]), buffer);
            most = std::max(most, std::min<std::size_t>(1 + std::count(key.begin(), key.end(), ' '), 16));
            const std::size_t space = key.find(' ');
            const std::string_view head = key.substr(0, space);
            lexicon.AddKeyStarts(KeyStartSlot(head), bit);
            if (bit == kStartsUnit && HoldsMarks(table.records[i].key))
                lexicon.AddKeyStarts(KeyStartSlot(Stripped(head, strippedBuffer)), kStartsDegradedUnit);
            // A compound surname written solid ("Chuko Liang", "Ssuma
            // Chien") begins the key that hyphenates it.
            if (bit == kStartsUnit && space != std::string_view::npos && head.size() <= 64 &&
                head.find('-') != std::string_view::npos) {
                char solid[64], stripped[64];
                std::size_t n = 0, m = 0;
                for (char c : head) {
                    if (c == '-') continue;
                    solid[n++] = c;
                    if (c != '\'') stripped[m++] = c == '\xFC' ? 'u' : c == '\xEA' ? 'e' : c;
                }
                lexicon.AddKeyStarts(KeyStartSlot(std::string_view(solid, n)), bit);
                lexicon.AddKeyStarts(KeyStartSlot(std::string_view(stripped, m)), kStartsDegradedUnit);
            }
        }
        return most;
    };
    const std::size_t mostAdded = starts(lexicon.addedTable, kStartsAdded, nullptr);
    lexicon.maxAddedWords = lexicon.addedTable.count ? mostAdded : 0;
    lexicon.maxConventionalWords = starts(lexicon.conventionalTable, kStartsConventional, nullptr);
    // Most of the word table's keys are one word: only those across words.
    lexicon.maxKeyWords = starts(words, kStartsUnit, &acrossWords);
    return fits;
}

TablesError TooManySpellings(const std::string& syllables) {
    return Failure(TablesStatus::BadLine, syllables, 0, 0,
                   "more spellings than the text mode can hold (their beginnings, letter by letter, pass 65,534)");
}

// Reads one table of one's own names (see TablePaths::added) and appends
// its records to `text` as Windows-1252, the tables' own bytes.
bool ReadAdded(const std::string& path, std::string& text, TablesError& error) {
    InputFile file(path.c_str());
    if (!file.IsOpen()) {
        const int e = errno;
        error = Failure(file.NotRegular() ? TablesStatus::NotRegularFile
                        : e == ENOENT     ? TablesStatus::Missing
                                          : TablesStatus::Unreadable,
                        path, file.NotRegular() ? 0 : e);
        return false;
    }
    std::string bytes;
    char buffer[64 * 1024];
    for (std::ptrdiff_t got; (got = file.Read(buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            error = Failure(TablesStatus::Unreadable, path, errno);
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > kMaxTableBytes) {
            error = Failure(TablesStatus::BadLine, path, 0, 0, "longer than 1,000,000 bytes");
            return false;
        }
    }
    std::string utf8, decodeError;
    Utf8Decoder decoder(Encoding::Utf8);
    std::uint64_t line = 1;
    auto bad = [&](std::uint64_t at, const std::string& reason) {
        error = Failure(TablesStatus::BadLine, path, 0, at, reason);
        return false;
    };
    if (!decoder.Feed(bytes, utf8, decodeError) || !decoder.Finish(decodeError)) {
        for (std::size_t i = 0; i < decoder.ErrorOffset(); ++i) line += bytes[i] == '\n';
        return bad(line, decodeError);
    }
    std::size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte order mark
    for (; start < utf8.size(); ++line) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string::npos) end = utf8.size();
        std::string_view record = std::string_view(utf8).substr(start, end - start);
        start = end + 1;
        if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
        if (record.empty() || record[0] == '#') continue;
        const std::size_t tab = record.find('\t');
        if (tab == std::string_view::npos) return bad(line, "no tab between the key and the value");
        if (record.find('\t', tab + 1) != std::string_view::npos) return bad(line, "more than one tab");
        if (tab == 0 || !IsLetter(static_cast<unsigned char>(record[0])))
            return bad(line, "the key does not begin with a letter a-z or A-Z");
        std::string converted;
        for (std::size_t i = 0, length = 0; i < record.size(); i += length) {
            const char32_t c = DecodeAt(record, i, length);
            const int byte = ToCp1252(c);
            if (byte < 0) return bad(line, "a character Windows-1252 cannot hold");
            if (byte < 0x20 && byte != '\t') return bad(line, "a control character");
            converted += static_cast<char>(byte);
        }
        text += converted;
        text += "\r\n";
    }
    return true;
}

bool LoadAdded(const std::vector<std::string>& paths, ConversionTable& table, TablesError& error) {
    if (paths.empty()) return true;
    std::string text;
    for (const std::string& path : paths)
        if (!ReadAdded(path, text, error)) return false;
    if (text.size() > kMaxTableBytes) {
        error = Failure(TablesStatus::BadLine, paths.back(), 0, 0,
                        "the tables of one's own hold more than 1,000,000 bytes");
        return false;
    }
    char* bytes = static_cast<char*>(std::malloc(text.size() + kTextPadding));
    if (!bytes) {
        error = Failure(TablesStatus::OutOfMemory, paths.front(), ENOMEM);
        return false;
    }
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
    if (BuildTable(bytes, text.size(), false, table) != LoadStatus::Ok) {
        error = Failure(TablesStatus::OutOfMemory, paths.front(), ENOMEM);
        return false;
    }
    BuildLookupIndex(table);
    return true;
}

}  // namespace

std::string TablesErrorReason(const TablesError& error) {
    if (error.status == TablesStatus::NotRegularFile) return "not a regular file";
    if (error.status == TablesStatus::BadLine)
        return error.line ? "line " + std::to_string(error.line) + ": " + error.reason : error.reason;
    return std::strerror(error.systemError);
}

bool SpellingTrie::Insert(std::string_view key, std::uint32_t value) {
    std::size_t node = 0;
    for (char c : key) {
        const int symbol = Symbol(static_cast<unsigned char>(c));
        if (symbol < 0) return false;
        if (!nodes[node].next[symbol]) {
            if (nodes.size() >= UINT16_MAX) return false;
            nodes[node].next[symbol] = static_cast<std::uint16_t>(nodes.size());
            nodes.emplace_back();
        }
        node = nodes[node].next[symbol];
    }
    if (!nodes[node].value) nodes[node].value = value;
    return true;
}

std::string_view Lexicon::Syllable(std::string_view spelling) const {
    bool marked = false;
    return Syllable(spelling, marked);
}

std::string_view Lexicon::Syllable(std::string_view spelling, bool& marked) const {
    bool pinyin = false;
    return Syllable(spelling, marked, pinyin);
}

std::string_view Lexicon::Syllable(std::string_view spelling, bool& marked, bool& pinyin) const {
    pinyin = false;
    if (const std::uint32_t found = syllables.Find(spelling)) {
        marked = syllableMarked[found - 1];
        pinyin = syllablePinyin[found - 1];
        return syllableValues[found - 1];
    }
    // ê is no Pinyin letter: a spelling with it is never Pinyin.
    if (spelling.find('\xEA') == std::string_view::npos || spelling.size() > 16) return {};
    char plain[16];
    for (std::size_t i = 0; i < spelling.size(); ++i) plain[i] = spelling[i] == '\xEA' ? 'e' : spelling[i];
    if (const std::uint32_t found = syllables.Find(std::string_view(plain, spelling.size()))) {
        marked = true;  // written with ê
        return syllableValues[found - 1];
    }
    return {};
}

unsigned Lexicon::PinyinPrefixes(std::string_view text) const {
    unsigned lengths = 0;
    std::uint16_t node = 0;
    for (std::size_t n = 0; n < text.size() && n < 6; ++n) {
        const int symbol = SpellingTrie::Symbol(static_cast<unsigned char>(text[n]));
        if (symbol < 0 || !(node = pinyin.nodes[node].next[symbol])) break;
        if (pinyin.nodes[node].value) lengths |= 1u << (n + 1);
    }
    return lengths;
}

EnglishClass Lexicon::English(std::string_view spelling) const {
    const EnglishClass* found = english.Find(spelling);
    return found ? *found : EnglishClass::None;
}

unsigned Lexicon::WadeGilesPrefixes(std::string_view text) const {
    unsigned lengths = 0;
    std::uint16_t node = 0;
    for (std::size_t n = 0; n < text.size() && n < 8; ++n) {
        const int symbol = SpellingTrie::Symbol(static_cast<unsigned char>(text[n]));
        if (symbol < 0 || symbol == 29 || !(node = syllables.nodes[node].next[symbol])) break;
        if (syllables.nodes[node].value) lengths |= 1u << (n + 1);
    }
    return lengths;
}

bool WadeGilesMarked(std::string_view s) {
    auto has = [&](std::string_view part) { return s.find(part) != std::string_view::npos; };
    auto ends = [&](std::string_view part) {
        return s.size() >= part.size() && s.substr(s.size() - part.size()) == part;
    };
    auto starts = [&](std::string_view part) { return s.substr(0, part.size()) == part; };
    // ts and tz begin Wade-Giles syllables only, but tsu is also Japanese,
    // and so is tsu before i ("Tatsuo", "Matsui", "Mitsui").
    if (has("hs") || (starts("ts") && s != "tsu" && s != "tsui") || starts("tz") || has("'") || has("\xFC") ||
        has("\xEA"))
        return true;
    if (ends("ih") || ends("ung") || ends("ien") || ends("ieh") || ends("ueh") || ends("uei")) return true;
    if (s == "ssu" || s == "szu") return true;
    // ch before i or ü: ching, chiang, chü (Pinyin's chi alone is also a
    // syllable of its own).
    return (starts("chi") && s != "chi") || starts("ch\xFC");
}

bool Lexicon::IsPinyin(std::string_view text, bool strict) const {
    // Each piece between separators must split into Pinyin syllables; the
    // longest syllable has six letters (zhuang).
    std::size_t start = 0;
    bool any = false;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("'-", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        if (piece.empty() || piece.size() > kMaxWordBytes) return false;
        // reachable[i]: piece[0, i) splits into syllables. Only what the
        // piece needs is cleared: most are a syllable or two.
        bool reachable[kMaxWordBytes + 1];
        std::fill(reachable, reachable + piece.size() + 1, false);
        reachable[0] = true;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (!reachable[i] || (strict && i > 0 && (piece[i] == 'a' || piece[i] == 'e' || piece[i] == 'o'))) continue;
            for (unsigned lengths = PinyinPrefixes(piece.substr(i)); lengths; lengths &= lengths - 1)
                reachable[i + static_cast<std::size_t>(__builtin_ctz(lengths))] = true;
        }
        if (!reachable[piece.size()]) return false;
        any = true;
        start = end + 1;
    }
    return any;
}

std::string_view Lexicon::WordKey(std::string_view key) const {
    if (key.empty()) return {};
    MatchResult match;
    if (key.size() <= addedTable.maxKeyLength && LookupAtCursor(addedTable, key.data(), key.size(), match) &&
        match.consumed == key.size())
        return match.value;
    const TableRecord* record = WholeKey(key);
    return record ? std::string_view(record->value) : std::string_view();
}

const TableRecord* Lexicon::WholeKey(std::string_view key) const {
    // A key that matches the text whole is that text ignoring case: the one
    // the index holds. No key begins with anything but a letter (nor
    // does a lookup find one that does).
    if (key.empty() || key.size() > wordTable.maxKeyLength || !IsLetter(static_cast<unsigned char>(key[0])))
        return nullptr;
    const std::size_t mask = wholeKeys.size() - 1;
    const std::uint32_t hash = FoldedHash(key);
    for (std::size_t slot = hash & mask; wholeKeys[slot]; slot = (slot + 1) & mask) {
        if ((wholeKeys[slot] ^ hash) & ~kWholeRecord) continue;  // another key's hash: not read
        const TableRecord& r = wordTable.records[(wholeKeys[slot] & kWholeRecord) - 1];
        if (SameIgnoringCase(KeyOf(r), key)) return &r;  // as lookups compare keys
    }
    return nullptr;
}

unsigned Lexicon::KeyStarts(std::string_view lower) const {
    unsigned bits = KeyStartsAt(KeyStartSlot(lower));
    // A word written without marks may begin a key that has them.
    char stripped[64];
    std::size_t n = 0;
    bool marks = false;
    for (char c : lower) {
        if (n == sizeof stripped) return bits | kStartsDegradedUnit;  // too long to tell: asked where it stands
        marks = marks || c == '\'' || c == '\xFC' || c == '\xEA';
        if (c != '\'') stripped[n++] = c == '\xFC' ? 'u' : c == '\xEA' ? 'e' : c;
    }
    if (marks) bits |= KeyStartsAt(KeyStartSlot(std::string_view(stripped, n))) & kStartsDegradedUnit;
    return bits;
}

void Lexicon::BuildDegraded() const {
    const ConversionTable& words = wordTable;
    std::string buffer;
    // A third of the keys hold marks: room for them at once, not rehashed as they come.
    degraded.Reserve(words.count / 3);
    for (std::size_t i = 0; i < words.count; ++i) {
        const TableRecord& r = words.records[i];
        if (!HoldsMarks(r.key)) continue;
        degraded.Add(NormalizedStripped(KeyOf(r), buffer), Lexicon::Degraded{r.key, r.value});
    }
    // The first value the other readings give a word stays.
    for (const std::uint32_t i : writtenRight) {
        const TableRecord& r = alternativeOwner.table.records[i];
        if (Lexicon::Degraded* found = degraded.Find(Normalized(KeyOf(r), buffer)); found && !found->writtenRight)
            found->writtenRight = r.value;
    }
}

const Lexicon::Degraded* Lexicon::DegradedKey(std::string_view key) const {
    std::call_once(degradedBuilt, [this] { BuildDegraded(); });
    // Most keys asked are short: stripped on the stack, not in a new string.
    char stripped[256] = {};
    std::size_t n = 0;
    if (key.size() > sizeof stripped) return nullptr;
    for (char c : key) {
        if (c == '\'') continue;
        stripped[n++] = c == '\xFC' ? 'u' : c == '\xEA' ? 'e' : c;
    }
    return degraded.Find(std::string_view(stripped, n));
}

bool LoadTextTables(const std::string& directory, TextTables& tables, TablesError& error) {
    auto in = [&](const char* name) { return directory + kPathSeparator + name; };
    TablePaths paths;
    paths.syllables = in(kSyllableTableName);
    paths.words = in(kWordTableName);
    paths.english = in(kEnglishTableName);
    paths.alternatives = in(kAlternativesTableName);
    paths.conventional = in(kConventionalTableName);
    return LoadTextTables(paths, tables, error);
}

bool LoadTextTables(const TablePaths& paths, TextTables& tables, TablesError& error) {
    auto lexicon = std::make_shared<Lexicon>();
    if (!LoadNamedTable(paths.syllables, lexicon->syllableOwner.table, error) ||
        !LoadNamedTable(paths.words, lexicon->wordOwner.table, error) ||
        !LoadNamedTable(paths.english, lexicon->englishOwner.table, error) ||
        !LoadNamedTable(paths.alternatives, lexicon->alternativeOwner.table, error) ||
        !LoadNamedTable(paths.conventional, lexicon->conventionalOwner.table, error) ||
        !LoadAdded(paths.added, lexicon->addedOwner.table, error))
        return false;
    if (!Assemble(*lexicon)) {
        error = TooManySpellings(paths.syllables);
        return false;
    }
    tables.lexicon = std::move(lexicon);
    return true;
}

bool BuildTextTables(const TableTexts& texts, TextTables& tables, TablesError& error) {
    auto lexicon = std::make_shared<Lexicon>();
    auto build = [&](std::string_view bytes, ConversionTable& table) {
        char* text = static_cast<char*>(std::malloc(bytes.size() + kTextPadding));
        if (!text) {
            error = Failure(TablesStatus::OutOfMemory, "", ENOMEM);
            return false;
        }
        if (!bytes.empty()) std::memcpy(text, bytes.data(), bytes.size());  // an empty view may have no data
        if (BuildTable(text, bytes.size(), false, table) != LoadStatus::Ok) {
            error = Failure(TablesStatus::OutOfMemory, "", ENOMEM);
            return false;
        }
        return true;
    };
    if (!build(texts.syllables, lexicon->syllableOwner.table) || !build(texts.words, lexicon->wordOwner.table) ||
        !build(texts.english, lexicon->englishOwner.table) ||
        !build(texts.alternatives, lexicon->alternativeOwner.table) ||
        !build(texts.conventional, lexicon->conventionalOwner.table))
        return false;
    if (!Assemble(*lexicon)) {
        error = TooManySpellings(kSyllableTableName);
        return false;
    }
    tables.lexicon = std::move(lexicon);
    return true;
}

}  // namespace kesti
