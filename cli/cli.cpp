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
    "      --lines         each line is one item (a name, a place, a title): no\n"
    "                      evidence crosses lines, and a line of romanized Chinese\n"
    "                      converts even as one word (Ho, Sung)\n"
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
        } else if (name == "--lines" && !hasValue) {
            options.text_options.lines = true;
            options.textOptionGiven = true;
        } else if (name == "--report") {
            if (!takeValue() || value.empty()) return usage("option '--report' needs a file");
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
            if (!takeValue() || value.empty()) return usage("option '" + name + "' needs a file");
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
        return usage("--hyphens, --tones, --english, --conventional, --lines and --report apply to the text mode, not to --exact");
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
        textOptions.encoding = options.encoding;
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
// one is "-". Returns the input that is the file `target` (a regular file),
// as messages name it, or nothing.
std::optional<std::string> InputThatIs(const Options& options, const FileIdentity& target) {
    if (!target.regular || options.text) return std::nullopt;
    const bool readsStandardInput =
        options.files.empty() || std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    FileIdentity input;
    int error = 0;
    if (readsStandardInput && IdentifyStandardInput(input, error) && SameFile(input, target)) return "standard input";
    for (const std::string& file : options.files)
        if (file != "-" && IdentifyPath(file, input, error) && SameFile(input, target)) return file;
    return std::nullopt;
}

// Paths the command must not write: an input, as -o or --report (it would
// be replaced while it is read); one file as both -o and --report; and, as
// cat refuses, standard output appended to an input ("kesti f >> f" would
// read what it writes until the disk is full). Returns the exit status
// when the run ends here.
std::optional<int> RefuseUnsafePaths(const Options& options, std::ostream& out, std::ostream& err) {
    for (const std::optional<std::string>* written : {&options.output, &options.report}) {
        FileIdentity target;
        int error = 0;
        if (*written && IdentifyPath(**written, target, error) && InputThatIs(options, target)) {
            err << "kesti: " << **written << ": refusing to overwrite an input\n";
            return kExitUsage;
        }
    }
    if (options.output && options.report && SamePath(*options.output, *options.report)) {
        err << "kesti: " << *options.report << ": the report and the output cannot be the same file\n";
        return kExitUsage;
    }
    if (!options.output) {
        FileIdentity standardOutput;
        int error = 0;
        auto* buffer = dynamic_cast<DescriptorBuffer*>(out.rdbuf());
        if (buffer && IdentifyDescriptor(buffer->fd(), standardOutput, error) && standardOutput.size > 0) {
            if (const std::optional<std::string> input = InputThatIs(options, standardOutput)) {
                err << "kesti: " << *input << ": input file is output file\n";
                return kExitUsage;
            }
        }
    }
    return std::nullopt;
}

// A file the command writes whole or not at all (-o, --report): through a
// temporary file renamed over the path at the end, with the reason of a
// failed write kept for the message.
struct WrittenFile {
    OutputFile file;
    std::optional<DescriptorBuffer> buffer;
    std::optional<std::ostream> stream;

    bool Open(const std::string& path, std::ostream& err) {
        int error = 0;
        if (!file.Open(path, error)) {
            err << "kesti: " << path << ": " << Reason(error) << "\n";
            return false;
        }
        buffer.emplace(file.fd);
        stream.emplace(&*buffer);
        return true;
    }
    // Flushes and renames into place; names the reason when that fails.
    bool Commit(std::ostream& err) {
        int error = 0;
        if (!stream->flush()) {
            err << "kesti: " << file.path << ": " << StreamReason(*stream, "write error") << "\n";
            return false;
        }
        if (!file.Commit(error)) {
            err << "kesti: " << file.path << ": " << Reason(error) << "\n";
            return false;
        }
        return true;
    }
};

}  // namespace

int RunKesti(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Options options;
    if (std::optional<int> done = Parse(args, options, out, err)) return *done;

    if (std::optional<int> refused = RefuseUnsafePaths(options, out, err)) return *refused;

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
            case LoadStatus::NotRegularFile:
                err << "kesti: " << path << ": not a regular file\n";
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
            err << "kesti: " << failure.path << ": " << TablesErrorReason(failure) << "\n";
            return kExitFailure;
        }
        engine.text = &textTables;
    }
    // The report, like the output, replaces its file only once everything
    // has been converted: an old report survives a failed run.
    WrittenFile report;
    if (options.report) {
        if (!report.Open(*options.report, err)) return kExitFailure;
        *report.stream << kReportHeader;
        engine.report = &*report.stream;
    }
    WrittenFile output;
    if (options.output && !output.Open(*options.output, err)) return kExitFailure;

    std::ostream& target = options.output ? *output.stream : out;
    const int status = ConvertAll(options, engine, in, target, options.output ? *options.output : "standard output", err);
    if (status != kExitOk) return status;
    if (options.output) {
        if (!output.Commit(err)) return kExitFailure;
    } else if (!out.flush()) {
        err << "kesti: standard output: " << StreamReason(out, "write error") << "\n";
        return kExitFailure;
    }
    if (options.report && !report.Commit(err)) return kExitFailure;
    return kExitOk;
}

}  // namespace kesti
