// Benchmarks, each beside the floor it is compared with in the same run:
//   - a call of each exported function on a 20-byte input, beside opening,
//     reading whole and closing the same table file;
//   - conversion throughput on 10 MB of generated Wade-Giles text with each
//     table, beside a byte-by-byte copy loop over the same bytes;
//   - a 1 MB run of letters beside 1 MB of ordinary text, and a sweep of
//     sizes from 1 KB to 10 MB (flat MB/s means linear cost).
// The tables are the shipped ones, read from KESTI_DATA_DIR.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "kesti/convert.h"
#include "api/pass.h"
#include "cli/fields.h"
#include "prose/prose.h"
#include "table/table.h"

namespace {

const std::string kDataDir = KESTI_DATA_DIR;

std::string ReadWhole(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[65536];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, got);
        std::fclose(f);
    }
    return bytes;
}

// Wade-Giles text as a catalogue or history holds it: names and syllables
// with hyphens, capitals, apostrophes and punctuation, between English words.
std::string GeneratedText(std::size_t size, unsigned seed = 1) {
    static const char* syllables[] = {"pei",
                                      "ching",
                                      "hs\xFC"
                                      "eh",
                                      "ch'ang",
                                      "an",
                                      "mao",
                                      "tse",
                                      "tung",
                                      "ssu",
                                      "ch'uan",
                                      "shang",
                                      "hai",
                                      "kuang",
                                      "chou",
                                      "t'ien",
                                      "men",
                                      "chung",
                                      "kuo",
                                      "hsi",
                                      "nan",
                                      "ta",
                                      "shih",
                                      "y\xFC"
                                      "an",
                                      "hua",
                                      "jen",
                                      "min",
                                      "k'ung",
                                      "fu",
                                      "tzu",
                                      "ming",
                                      "ch'ing",
                                      "sung",
                                      "t'ang",
                                      "wen"};
    static const char* english[] = {"the",     "of",     "and", "history", "in",    "was",  "born", "province",
                                    "dynasty", "edited", "by",  "vol.",    "press", "1936", "pp."};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        if (rng() % 3 == 0) {
            text += english[rng() % std::size(english)];
        } else {
            const int parts = 1 + static_cast<int>(rng() % 3);
            for (int p = 0; p < parts; ++p) {
                std::string s = syllables[rng() % std::size(syllables)];
                if (p == 0 && rng() % 2) s[0] = static_cast<char>(s[0] - 32);
                text += (p ? "-" : "") + s;
            }
        }
        text += rng() % 8 == 0 ? ", " : " ";
    }
    text.resize(size);
    return text;
}

void SetTableDir(const std::string& dir = kDataDir) { setenv("KESTI_TABLE_DIR", dir.c_str(), 1); }

// A directory holding the shipped syllable table with its lines shuffled, as
// a table kept in no particular order would be; it has to be sorted on load.
struct RemovedAtExit {
    std::string dir;
    ~RemovedAtExit() {
        std::error_code ignored;
        if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }
};

const std::string& ShuffledTableDir() {
    static const RemovedAtExit made{[] {
        std::string lines = ReadWhole(kDataDir + "/kestisyl.txt");
        std::vector<std::string> records;
        for (std::size_t at = 0, next; at < lines.size(); at = next + 2) {
            next = lines.find("\r\n", at);
            if (next == std::string::npos) next = lines.size();
            records.push_back(lines.substr(at, next - at));
        }
        std::shuffle(records.begin(), records.end(), std::mt19937(7));
        std::string shuffled;
        for (const std::string& r : records) shuffled += r + "\r\n";
        std::string path = (std::filesystem::temp_directory_path() / "kesti-bench-XXXXXX").string();
        if (!mkdtemp(path.data())) return std::string();
        std::FILE* f = std::fopen((path + "/kestisyl.txt").c_str(), "wb");
        if (!f) return std::string();
        std::fwrite(shuffled.data(), 1, shuffled.size(), f);
        std::fclose(f);
        return path;
    }()};
    return made.dir;
}

void ReadFloor(benchmark::State& state, const char* name) {
    const std::string path = kDataDir + "/" + name;
    std::vector<char> buffer(2'000'000);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(buffer.data());
    }
}

void Call(benchmark::State& state, int32_t (*fn)(const char*, char*), const std::string& dir = kDataDir) {
    if (dir.empty()) {
        state.SkipWithError("no table directory");
        return;
    }
    SetTableDir(dir);
    const char input[] = "Mao Tse-tung, Hu-nan";  // 20 bytes
    char output[128];
    for (auto _ : state) {
        const int32_t r = fn(input, output);
        benchmark::DoNotOptimize(r);
        if (r == 0) state.SkipWithError("conversion failed");
    }
}

void BM_ReadSyllableTable(benchmark::State& s) { ReadFloor(s, "kestisyl.txt"); }
void BM_CallSyllable(benchmark::State& s) { Call(s, ConvertWGToPinyin); }
void BM_ReadWordTable(benchmark::State& s) { ReadFloor(s, "kestiwrd.txt"); }
void BM_CallWord(benchmark::State& s) { Call(s, ConvertWGToPinyinWord); }
BENCHMARK(BM_ReadSyllableTable);
BENCHMARK(BM_CallSyllable);
BENCHMARK(BM_ReadWordTable);
BENCHMARK(BM_CallWord);
void BM_CallSyllableShuffled(benchmark::State& s) { Call(s, ConvertWGToPinyin, ShuffledTableDir()); }
BENCHMARK(BM_CallSyllableShuffled);

// A loop that copies one byte per iteration, as written: the compiler may
// neither vectorize it nor turn it into memcpy, which would make it a
// different baseline (memcpy is measured beside it for reference).
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-vectorize", "no-tree-loop-distribute-patterns", "no-unroll-loops")))
#endif
void CopyBytes(const char* in, char* out, std::size_t n) {
#if defined(__clang__)
#pragma clang loop vectorize(disable) interleave(disable) unroll(disable)
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
}

void ByteCopy(benchmark::State& state, const std::string& text) {
    std::vector<char> out(text.size());
    for (auto _ : state) {
        CopyBytes(text.data(), out.data(), text.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Memcpy(benchmark::State& state, const std::string& text) {
    std::vector<char> out(text.size());
    for (auto _ : state) {
        std::memcpy(out.data(), text.data(), text.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Converts through the exported function, table load included.
void Throughput(benchmark::State& state, const std::string& text, int32_t (*fn)(const char*, char*)) {
    SetTableDir();
    std::vector<char> out(text.size() * 4 + 1);
    for (auto _ : state) {
        const int32_t r = fn(text.c_str(), out.data());
        benchmark::DoNotOptimize(r);
        if (r == 0) state.SkipWithError("conversion failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

const std::string& TenMegabytes() {
    static const std::string text = GeneratedText(10'000'000);
    return text;
}

void BM_ByteCopy10MB(benchmark::State& s) { ByteCopy(s, TenMegabytes()); }
void BM_Memcpy10MB(benchmark::State& s) { Memcpy(s, TenMegabytes()); }
void BM_Syllable10MB(benchmark::State& s) { Throughput(s, TenMegabytes(), ConvertWGToPinyin); }
void BM_Word10MB(benchmark::State& s) { Throughput(s, TenMegabytes(), ConvertWGToPinyinWord); }
BENCHMARK(BM_ByteCopy10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Syllable10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Word10MB)->Unit(benchmark::kMillisecond);

// The running-text engine on the same 10 MB, as the command converts a
// file: its five tables loaded, the text decoded from Windows-1252 (the
// bytes the exact mode reads), converted and encoded back.
// Converts `text` as the command converts a file, its five tables loaded
// on every iteration.
void TextThroughput(benchmark::State& s, const std::string& text, const kesti::TextOptions& options = {}) {
    std::string out, error;
    for (auto _ : s) {
        kesti::TextTables tables;
        kesti::TablesError failure;
        out.clear();
        if (!kesti::LoadTextTables(kDataDir, tables, failure) ||
            !kesti::ConvertRunningText(tables, options, text, out, nullptr, error))
            s.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * text.size()));
}

void BM_Text10MB(benchmark::State& s) {
    kesti::TextOptions options;
    options.encoding = kesti::Encoding::Cp1252;
    TextThroughput(s, TenMegabytes(), options);
}
BENCHMARK(BM_Text10MB)->Unit(benchmark::kMillisecond);
// The same on two threads, two paragraphs at once, as the command converts
// a file on a machine of two processors or more.
void BM_Text10MBTwoThreads(benchmark::State& s) {
    kesti::TextOptions options;
    options.encoding = kesti::Encoding::Cp1252;
    options.threads = 2;
    TextThroughput(s, TenMegabytes(), options);
}
BENCHMARK(BM_Text10MBTwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

// English prose that Debian ships (its licence texts), repeated to 10 MB:
// what the text mode mostly reads in real documents. Skipped without them.
const std::string& EnglishProse() {
    static const std::string text = [] {
        const std::string one =
            ReadWhole("/usr/share/common-licenses/GPL-3") + ReadWhole("/usr/share/common-licenses/Apache-2.0");
        std::string all;
        while (!one.empty() && all.size() < 10'000'000) all += one;
        all.resize(std::min<std::size_t>(all.size(), 10'000'000));
        return all;
    }();
    return text;
}

void BM_SyllableProse10MB(benchmark::State& s) {
    if (EnglishProse().empty()) return s.SkipWithError("no licence texts");
    Throughput(s, EnglishProse(), ConvertWGToPinyin);
}
void BM_TextProse10MB(benchmark::State& s) {
    if (EnglishProse().empty()) return s.SkipWithError("no licence texts");
    TextThroughput(s, EnglishProse());
}
BENCHMARK(BM_SyllableProse10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextProse10MB)->Unit(benchmark::kMillisecond);

// A catalogue as CSV, 10 MB of records with a number, a name and a title
// in Wade-Giles, and an English note: the text mode over all of it, and
// --columns over the name and the title, each field an item.
const std::string& CatalogueCsv() {
    static const std::string text = [] {
        const char* const rows[] = {
            "\"Ho, Ping-ti\",\"Chung-kuo chin tai shih\",first edition\r\n",
            "Lo Chen-y\xC3\xBC,\"Hsi-yu chi; San kuo chih yen i\",\"Shanghai, reprinted\"\r\n",
            "\"Sung, Lien\",Yüan shih,the official history of the dynasty\r\n",
            "Liang Ch'i-ch'ao,\"Yin-ping-shih ho-chi\",collected works in forty volumes\r\n",
            "\"Ch'ien, Mu\",Kuo shih ta kang,an outline of the nation's history\r\n",
        };
        std::string all = "id,name,title,note\r\n";
        for (std::size_t i = 0; all.size() < 10'000'000; ++i) all += std::to_string(i) + "," + rows[i % 5];
        return all;
    }();
    return text;
}

void BM_TextCsv10MB(benchmark::State& s) { TextThroughput(s, CatalogueCsv()); }
void BM_Columns10MB(benchmark::State& s) {
    const std::string& text = CatalogueCsv();
    std::string out, error;
    kesti::ColumnChoice columns;
    kesti::ParseColumns("name,title", columns, error);
    for (auto _ : s) {
        kesti::TextTables tables;
        kesti::TablesError failure;
        out.clear();
        if (!kesti::LoadTextTables(kDataDir, tables, failure)) s.SkipWithError("no tables");
        kesti::ItemConverter items(tables, {});
        kesti::FieldConverter fields(items, kesti::FieldFormat::Csv, columns, true);
        // In the command's 64 KiB pieces.
        for (std::size_t at = 0; at < text.size(); at += 64 * 1024)
            if (!fields.Feed(std::string_view(text).substr(at, 64 * 1024), out, nullptr, error))
                s.SkipWithError("conversion failed");
        if (!fields.Finish(out, nullptr, error)) s.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(out.data());
    }
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * text.size()));
}
BENCHMARK(BM_TextCsv10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Columns10MB)->Unit(benchmark::kMillisecond);

// Loading the text mode's tables alone.
void BM_TextTables(benchmark::State& s) {
    for (auto _ : s) {
        kesti::TextTables tables;
        kesti::TablesError failure;
        if (!kesti::LoadTextTables(kDataDir, tables, failure)) s.SkipWithError("no tables");
        benchmark::DoNotOptimize(tables.lexicon.get());
    }
}
BENCHMARK(BM_TextTables)->Unit(benchmark::kMillisecond);

void BM_LetterRun1MB(benchmark::State& s) {
    // Letters that begin keys at every position but never end one there.
    static const std::string run = [] {
        std::string r;
        while (r.size() < 1'000'000) r += "changhsiehchuang";
        r.resize(1'000'000);
        return r;
    }();
    Throughput(s, run, ConvertWGToPinyin);
}
void BM_OrdinaryText1MB(benchmark::State& s) {
    static const std::string text = GeneratedText(1'000'000, 2);
    Throughput(s, text, ConvertWGToPinyin);
}
BENCHMARK(BM_LetterRun1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrdinaryText1MB)->Unit(benchmark::kMillisecond);

// The pass alone on a table loaded and indexed once, so that small sizes
// measure the conversion rather than the table load. Each iteration converts
// a different slice of the 10 MB text: repeating one small slice would let
// the branch predictor learn it and flatter the small sizes.
void BM_SyllableSweep(benchmark::State& s) {
    const std::string& text = TenMegabytes();
    const auto size = static_cast<std::size_t>(s.range(0));
    kesti::TableOwner owner;
    kesti::ConversionTable& table = owner.table;
    if (kesti::LoadTable((kDataDir + "/kestisyl.txt").c_str(), table) != kesti::LoadStatus::Ok ||
        !kesti::BuildLookupIndex(table)) {
        s.SkipWithError("no table");
        return;
    }
    std::vector<char> out(size * 4);
    const std::size_t slices = text.size() - size + 1;
    std::size_t offset = 0;
    for (auto _ : s) {
        const auto p = kesti::RunConversionPass(table, text.data() + offset, size, true, out.data(), out.size());
        benchmark::DoNotOptimize(p);
        offset = (offset + size + 4099) % slices;
    }
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * size));
}
BENCHMARK(BM_SyllableSweep)->RangeMultiplier(10)->Range(1'000, 10'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
