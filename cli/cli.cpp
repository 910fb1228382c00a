#include "cli/cli.h"


#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "api/pass.h"
#include "api/stream.h"
#include "platform/command_files.h"
#include "platform/table_dir.h"
#include "prose/prose.h"
#include "table/table.h"

#ifndef KESTI_VERSION
#define KESTI_VERSION "unknown"
#endif

namespace kesti {
namespace {

constexpr char kUsage[] =
    "Usage: kesti [OPTION]... [FILE]...\n"
    "Convert Wade-Giles romanization to Hanyu Pinyin.\n"
    "\n"
    "Converts each FILE, or standard input when there is none or FILE is -, to\n"
    "standard output. Whole Wade-Giles words are converted and joined as Pinyin\n"
    "writes them (Mao Tse-tung -> Mao Zedong, Hsi-an -> Xi'an); English words\n"
    "and text already in Pinyin are left alone.\n"
    "\n"
    "  -o, --output FILE   write to FILE (replaced only once everything converted)\n"
    "      --text TEXT     convert TEXT and print it with a line break\n"
    "      --report FILE   write what was found and decided to FILE (TSV)\n"
    "      --hyphens HOW   join (the default: Zuolin) or keep (Zuo-lin)\n"
    "      --tones HOW     for tone numbers written after syllables: marks (the\n"
    "                      default: M\xC3\xA1o), numbers (Mao2) or none (Mao)\n"
    "      --english HOW   guard (the default: English words that are also\n"
    "                      syllables convert only in Chinese names) or convert\n"
    "      --conventional HOW  leave (the default) or convert the established\n"
    "                      spellings English texts use (Peking, Canton,\n"
    "                      Chiang Kai-shek); the report lists them either way\n"
    "      --exact         the exported functions' conversion, byte for byte: every\n"
    "                      longest key wherever a letter stands\n"
    "      --word          with --exact: the word table (kestiwrd.txt) instead of\n"
    "                      the syllable table (kestisyl.txt)\n"
    "      --tables DIR    read the tables from DIR\n"
    "      --encoding ENC  utf-8 (the default) or cp1252 (raw Windows-1252 bytes)\n"
    "  -h, --help          show this help\n"
    "  -V, --version       show the version\n"
    "\n"
    "Without --tables, the tables are read from $KESTI_TABLE_DIR when it is set,\n"
    "else from share/kesti beside the directory that holds this program.\n"
    "Exit status: 0 on success, 1 when a table or file cannot be read or\n"
    "written, 2 on a usage error.\n";

struct Options {
    bool word = false;
    bool exact = false;
    TextOptions text_options;
    bool textOptionGiven = false;
    std::optional<std::string> report;
    std::optional<std::string> text;
    std::optional<std::string> output;
    std::string tables;
    Encoding encoding = Encoding::Utf8;
    std::vector<std::string> files;
};

std::string Reason(int error) { return std::strerror(error); }

// Parses the arguments; returns an exit status when the run ends here.
std::optional<int> Parse(const std::vector<std::string>& args, Options& options, std::ostream& out,
                         std::ostream& err) {
    auto usage = [&](const std::string& message) {
        err << "kesti: " << message << "\nTry 'kesti --help' for more information.\n";
        return kExitUsage;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Options with a value take it from "--name=value" or the next argument.
        std::string name = arg, value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        if (name == "-h" || name == "--help") {
            out << kUsage;
            return kExitOk;
        } else if (name == "-V" || name == "--version") {
            out << "kesti " KESTI_VERSION "\n";
            return kExitOk;
        } else if (name == "--word" && !hasValue) {
            options.word = true;
        } else if (name == "--exact" && !hasValue) {
            options.exact = true;
        } else if (name == "--report") {
            if (!takeValue()) return usage("option '--report' needs a file");
            options.report = value;
        } else if (name == "--hyphens") {
            if (!takeValue()) return usage("option '--hyphens' needs join or keep");
            if (value == "join") {
                options.text_options.hyphens = HyphenStyle::Join;
            } else if (value == "keep") {
                options.text_options.hyphens = HyphenStyle::Keep;
            } else {
                return usage("unknown value '" + value + "' for --hyphens (use join or keep)");
            }
            options.textOptionGiven = true;
        } else if (name == "--tones") {
            if (!takeValue()) return usage("option '--tones' needs marks, numbers or none");
            if (value == "marks") {
                options.text_options.tones = ToneStyle::Marks;
            } else if (value == "numbers") {
                options.text_options.tones = ToneStyle::Numbers;
            } else if (value == "none") {
                options.text_options.tones = ToneStyle::None;
            } else {
                return usage("unknown value '" + value + "' for --tones (use marks, numbers or none)");
            }
            options.textOptionGiven = true;
        } else if (name == "--conventional") {
            if (!takeValue()) return usage("option '--conventional' needs leave or convert");
            if (value == "leave") {
                options.text_options.convertConventional = false;
            } else if (value == "convert") {
                options.text_options.convertConventional = true;
            } else {
                return usage("unknown value '" + value + "' for --conventional (use leave or convert)");
            }
            options.textOptionGiven = true;
        } else if (name == "--english") {
            if (!takeValue()) return usage("option '--english' needs guard or convert");
            if (value == "guard") {
                options.text_options.englishGuard = true;
            } else if (value == "convert") {
                options.text_options.englishGuard = false;
            } else {
                return usage("unknown value '" + value + "' for --english (use guard or convert)");
            }
            options.textOptionGiven = true;
        } else if (name == "-o" || name == "--output") {
            if (!takeValue()) return usage("option '" + name + "' needs a file");
            if (options.output) return usage("only one output file can be given");
            options.output = value;
        } else if (name == "--text") {
            if (!takeValue()) return usage("option '--text' needs a text");
            options.text = value;
        } else if (name == "--tables") {
            if (!takeValue()) return usage("option '--tables' needs a directory");
            options.tables = value;
        } else if (name == "--encoding") {
            if (!takeValue()) return usage("option '--encoding' needs utf-8 or cp1252");
            if (value == "utf-8" || value == "utf8" || value == "UTF-8") {
                options.encoding = Encoding::Utf8;
            } else if (value == "cp1252" || value == "windows-1252") {
                options.encoding = Encoding::Cp1252;
            } else {
                return usage("unknown encoding '" + value + "' (use utf-8 or cp1252)");
            }
        } else {
            return usage("unknown option '" + arg + "'");
        }
    }
    if (options.text && !options.files.empty()) return usage("--text cannot be combined with files");
    if (options.word && !options.exact) return usage("--word chooses the table of --exact; add --exact");
    if (options.exact && (options.textOptionGiven || options.report))
        return usage("--hyphens, --tones, --english, --conventional and --report apply to the text mode, not to --exact");
    return std::nullopt;
}

// What converts: the exact pass with one table, or the running-text engine.
struct Engine {
    const ConversionTable* table = nullptr;  // --exact
    const TextTables* text = nullptr;        // the text mode
    std::ostream* report = nullptr;
};

// Why a stream failed, when it runs over a file descriptor.
std::string StreamReason(std::ios& stream, const char* otherwise) {
    if (auto* buffer = dynamic_cast<DescriptorBuffer*>(stream.rdbuf()); buffer && buffer->error())
        return Reason(buffer->error());
    return otherwise;
}

StreamResult ConvertOne(const Options& options, const Engine& engine, std::istream& in, std::ostream& out) {
    StreamResult r;
    if (engine.table) {
        r = ConvertStream(*engine.table, options.encoding, in, out);
    } else {
        TextOptions textOptions = options.text_options;
        textOptions.encoding = options.encoding == Encoding::Cp1252 ? TextEncoding::Cp1252 : TextEncoding::Utf8;
        r = ConvertRunningStream(*engine.text, textOptions, in, out, engine.report);
    }
    // A read that failed looks like the end of the input to the stream;
    // the buffer under it knows better.
    if (auto* buffer = dynamic_cast<DescriptorBuffer*>(in.rdbuf()); r.ok && buffer && buffer->error()) {
        r.ok = false;
        r.inputFailed = true;
    }
    return r;
}

// Converts every input to `out`, which is named `outName` in messages.
int ConvertAll(const Options& options, const Engine& engine, std::istream& in, std::ostream& out,
               const std::string& outName, std::ostream& err) {
    auto failed = [&](const StreamResult& r, const std::string& name, std::istream& input) {
        if (r.outputFailed) {
            err << "kesti: " << outName << ": " << StreamReason(out, "write error") << "\n";
        } else if (r.inputFailed) {
            err << "kesti: " << name << ": " << StreamReason(input, "read error") << "\n";
        } else {
            err << "kesti: " << name << ": " << r.error << "\n";
        }
        return kExitFailure;
    };
    if (options.text) {
        std::istringstream input(*options.text);
        const StreamResult r = ConvertOne(options, engine, input, out);
        if (!r.ok) return failed(r, "--text", input);
        out << "\n";
        return kExitOk;
    }
    std::vector<std::string> files = options.files;
    if (files.empty()) files.push_back("-");
    for (const std::string& file : files) {
        if (file == "-") {
            const StreamResult r = ConvertOne(options, engine, in, out);
            if (!r.ok) return failed(r, "standard input", in);
            continue;
        }
        FileIdentity info;
        int error = 0;
        if (!IdentifyPath(file, info, error)) {
            err << "kesti: " << file << ": " << Reason(error) << "\n";
            return kExitFailure;
        }
        if (info.directory) {
            err << "kesti: " << file << ": " << Reason(EISDIR) << "\n";
            return kExitFailure;
        }
        std::ifstream input(file, std::ios::binary);
        if (!input) {
            err << "kesti: " << file << ": " << Reason(errno) << "\n";
            return kExitFailure;
        }
        const StreamResult r = ConvertOne(options, engine, input, out);
        if (!r.ok) return failed(r, file, input);
    }
    return kExitOk;
}

// The inputs are the files named, and standard input when none is named or
// one is "-". The output of -o is always a path ("-o -" is a file named
// "-"). A regular file that is an input cannot be the output: it would be
// replaced while it is read.
bool OutputIsAnInput(const Options& options) {
    FileIdentity target;
    int error = 0;
    if (!IdentifyPath(*options.output, target, error) || !target.regular) return false;
    const bool readsStandardInput =
        options.files.empty() || std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    FileIdentity input;
    if (!options.text && readsStandardInput && IdentifyStandardInput(input, error) && SameFile(input, target))
        return true;
    for (const std::string& file : options.files)
        if (file != "-" && IdentifyPath(file, input, error) && SameFile(input, target)) return true;
    return false;
}

}  // namespace

int RunKesti(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Options options;
    if (std::optional<int> done = Parse(args, options, out, err)) return *done;

    if (options.output && OutputIsAnInput(options)) {
        err << "kesti: " << *options.output << ": refusing to overwrite an input\n";
        return kExitUsage;
    }

    std::string directory = options.tables.empty() ? ProgramTableDirectory() : options.tables;
    if (directory.empty()) {
        err << "kesti: cannot determine the tables directory; use --tables DIR\n";
        return kExitFailure;
    }
    Engine engine;
    TableOwner owner;
    ConversionTable& table = owner.table;
    TextTables textTables;
    if (options.exact) {
        const std::string path = directory + kPathSeparator + (options.word ? kWordTableName : kSyllableTableName);
        int error = 0;
        switch (LoadTable(path.c_str(), table, &error)) {
            case LoadStatus::Ok:
                break;
            case LoadStatus::OutOfMemory:
                err << "kesti: " << path << ": " << Reason(ENOMEM) << "\n";
                return kExitFailure;
            default:
                err << "kesti: " << path << ": " << Reason(error) << "\n";
                return kExitFailure;
        }
        // Files and standard input are read once the table is loaded, so their
        // size is unknown here; they are usually long enough for the index to
        // pay off. Without memory for it the output is the same.
        if (!options.text || IndexPaysOff(table, options.text->size())) BuildLookupIndex(table);
        engine.table = &table;
    } else {
        TablesError failure;
        if (!LoadTextTables(directory, textTables, failure)) {
            err << "kesti: " << failure.path << ": " << Reason(failure.systemError) << "\n";
            return kExitFailure;
        }
        engine.text = &textTables;
    }
    std::ofstream report;
    if (options.report) {
        report.open(*options.report, std::ios::binary | std::ios::trunc);
        if (!report) {
            err << "kesti: " << *options.report << ": " << Reason(errno) << "\n";
            return kExitFailure;
        }
        report << kReportHeader;
        engine.report = &report;
    }
    auto reportWritten = [&]() {
        if (!options.report) return true;
        report.close();
        if (report) return true;
        err << "kesti: " << *options.report << ": write error\n";
        return false;
    };

    if (!options.output) {
        const int status = ConvertAll(options, engine, in, out, "standard output", err);
        if (status != kExitOk) return status;
        if (!out.flush()) {
            err << "kesti: standard output: " << StreamReason(out, "write error") << "\n";
            return kExitFailure;
        }
        return reportWritten() ? kExitOk : kExitFailure;
    }

    OutputFile file;
    int error = 0;
    if (!file.Open(*options.output, error)) {
        err << "kesti: " << *options.output << ": " << Reason(error) << "\n";
        return kExitFailure;
    }
    DescriptorBuffer buffer(file.fd);
    std::ostream written(&buffer);
    const int status = ConvertAll(options, engine, in, written, *options.output, err);
    if (status != kExitOk) return status;
    if (!written.flush()) {
        err << "kesti: " << *options.output << ": " << StreamReason(written, "write error") << "\n";
        return kExitFailure;
    }
    if (!reportWritten()) return kExitFailure;
    if (!file.Commit(error)) {
        err << "kesti: " << *options.output << ": " << Reason(error) << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace kesti
