#include "cli/options.h"

#include <algorithm>
#include <cstring>

#include "api/vocabulary.h"
#include "cli/cli.h"

#ifndef KESTI_VERSION
#define KESTI_VERSION "unknown"
#endif

namespace kesti {

const OptionSpec kOptions[] = {
    {"--output", 'o', OptionSpec::Value, "FILE",
     "write to FILE (- for standard output), replaced only once everything\nconverted"},
    {"--in-place", 'i', OptionSpec::OptionalValue, "SUFFIX",
     "rewrite each FILE with its conversion (as sed -i does), keeping a\nbackup FILE.SUFFIX when SUFFIX is given; "
     "nothing changes when any\nfile fails"},
    {"--diff", 0, OptionSpec::Flag, nullptr,
     "print a unified diff of what would change (patch -p1 applies it)\nand write nothing else"},
    {"--text", 0, OptionSpec::Value, "TEXT", "convert TEXT and print it with a line break"},
    {"--report", 0, OptionSpec::Value, "FILE",
     "write what was found and decided to FILE (- for standard output):\nfile, line, column, original, result, "
     "decision, ambiguous,\nalternatives"},
    {"--summary", 0, OptionSpec::Value, "FILE",
     "write one row per distinct original, result and decision, with its\ncount, most frequent first"},
    {"--report-format", 0, OptionSpec::Value, "FMT",
     "tsv (the default) or csv (UTF-8 with a byte order mark, CRLF,\nquoted fields: what spreadsheets open)"},
    {"--hyphens", 0, OptionSpec::Value, "HOW", "join (the default: Zuolin) or keep (Zuo-lin)"},
    {"--tones", 0, OptionSpec::Value, "HOW",
     "for tone numbers written after syllables: marks (the default:\nM\xC3\xA1o), numbers (Mao2) or none (Mao)"},
    {"--english", 0, OptionSpec::Value, "HOW",
     "guard (the default: English words that are also syllables convert\nonly where the sentence shows them Chinese) "
     "or convert"},
    {"--conventional", 0, OptionSpec::Value, "HOW",
     "leave (the default) or convert the established spellings English\ntexts use (Peking, Canton, Chiang Kai-shek); "
     "the report lists them\neither way"},
    {"--lines", 0, OptionSpec::Flag, nullptr,
     "each line is one item (a name, a place, a title): no evidence\ncrosses lines, and a line of romanized Chinese "
     "converts even as one\nword (Ho, Sung)"},
    {"--columns", 0, OptionSpec::Value, "LIST",
     "convert only these fields of a CSV or TSV file, each on its own:\n1-based numbers, ranges (2-4) or, with "
     "--header, names, separated\nby commas"},
    {"--header", 0, OptionSpec::Flag, nullptr, "the first row names the columns (and passes through unchanged)"},
    {"--format", 0, OptionSpec::Value, "FMT",
     "csv or tsv, for --columns (the default: from the file's extension,\nelse tsv)"},
    {"--add-table", 0, OptionSpec::Value, "FILE",
     "also read FILE, a UTF-8 list of Wade-Giles<TAB>Pinyin of one's own\n(local names, house spellings), before the "
     "shipped tables; may be\ngiven again"},
    {"--progress", 0, OptionSpec::Flag, nullptr,
     "show progress on a terminal whatever the input's size (without it,\nonly inputs over 50 MB show it)"},
    {"--quiet", 0, OptionSpec::Flag, nullptr, "show no progress"},
    {"--threads", 0, OptionSpec::Value, "N",
     "convert N paragraphs at once, each on a thread of its own (the\ndefault: as many as the processor runs, up to "
     "4, for files named;\n1 for standard input, and with --report or --summary)"},
    {"--exact", 0, OptionSpec::Flag, nullptr,
     "the exported functions' conversion, byte for byte: every longest key\nwherever a letter stands"},
    {"--word", 0, OptionSpec::Flag, nullptr,
     "with --exact: the word table (kestiwrd.txt) instead of the syllable\ntable (kestisyl.txt)"},
    {"--tables", 0, OptionSpec::Value, "DIR", "read the tables from DIR"},
    {"--encoding", 0, OptionSpec::Value, "ENC", "utf-8 (the default) or cp1252 (raw Windows-1252 bytes)"},
    {"--help", 'h', OptionSpec::Flag, nullptr, "show this help"},
    {"--version", 'V', OptionSpec::Flag, nullptr, "show the version"},
};
const std::size_t kOptionCount = sizeof kOptions / sizeof *kOptions;

// The options that only the text mode reads.
constexpr const char* kTextOnly[] = {"--hyphens", "--tones",     "--english",       "--conventional", "--lines",
                                     "--report",  "--summary",   "--report-format", "--columns",      "--header",
                                     "--format",  "--add-table", "--threads"};

Options::Options() { kesti_options_init(&library); }

bool Options::ReadsStandardInput() const {
    return !text && (files.empty() || std::find(files.begin(), files.end(), "-") != files.end());
}

std::string HelpText() {
    std::string help =
        "Usage: kesti [OPTION]... [FILE]...\n"
        "Convert Wade-Giles romanization to Hanyu Pinyin.\n"
        "\n"
        "Converts each FILE, or standard input when there is none or FILE is -, to\n"
        "standard output. Whole Wade-Giles words are converted and joined as Pinyin\n"
        "writes them (Mao Tse-tung -> Mao Zedong, Hsi-an -> Xi'an); English words\n"
        "and text already in Pinyin are left alone.\n"
        "\n";
    for (const OptionSpec& o : kOptions) {
        std::string left = o.shortName ? std::string("  -") + o.shortName + ", " : std::string("      ");
        left += o.name;
        if (o.kind == OptionSpec::Value) left += std::string(" ") + o.value;
        if (o.kind == OptionSpec::OptionalValue) left += std::string("[=") + o.value + "]";
        std::string_view text = o.help;
        bool first = true;
        while (!text.empty()) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            if (first && left.size() < 24) {
                help += left + std::string(24 - left.size(), ' ');
            } else {
                if (first) help += left + "\n";
                help += std::string(24, ' ');
            }
            help.append(text.substr(0, end));
            help += '\n';
            text.remove_prefix(std::min(end + 1, text.size()));
            first = false;
        }
    }
    help +=
        "\n"
        "Without --tables, the tables are read from $KESTI_TABLE_DIR when it is set,\n"
        "else from share/kesti beside the directory that holds this program.\n"
        "Exit status: 0 on success, 1 when a table or file cannot be read or\n"
        "written, 2 on a usage error.\n";
    return help;
}

namespace {

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& o : kOptions)
        if (name == o.name || (name.size() == 2 && name[0] == '-' && name[1] == o.shortName && o.shortName)) return &o;
    return nullptr;
}

// Checks what the options ask for together; a usage error's message, or empty.
std::string Conflicts(const Options& o) {
    if (o.text && !o.files.empty()) return "--text cannot be combined with files";
    if (o.word && !o.exact) return "--word chooses the table of --exact; add --exact";
    if (o.exact && !o.textOnly.empty()) return o.textOnly.front() + " applies to the text mode, not to --exact";
    // Standard output takes one of them: the text (without -o FILE,
    // --in-place or --diff), the diff, the report or the summary.
    const bool text = (!o.output || *o.output == "-") && !o.inPlace && !o.diff;
    const int toStandardOutput = text + o.diff + (o.report && *o.report == "-") + (o.summary && *o.summary == "-");
    if (toStandardOutput > 1)
        return "only one of the text, the diff, the report and the summary can go to standard output (-)";
    if (o.inPlace && (o.output || o.text)) return "--in-place rewrites the files named; it takes no -o or --text";
    if (o.inPlace && (o.files.empty() || o.ReadsStandardInput()))
        return "--in-place needs files to rewrite, not standard input";
    if (o.diff && (o.output || o.inPlace || o.report || o.summary))
        return "--diff writes the diff and nothing else: drop -o, --in-place, --report and --summary";
    if ((o.header || o.format) && !o.columns) return "--header and --format apply to --columns";
    if (o.columns && o.text) return "--columns reads files, not --text";
    return {};
}

}  // namespace

std::optional<int> ParseOptions(const std::vector<std::string>& args, Options& options, std::ostream& out,
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
        // "--name=value", "--name value", "-o value", "-ovalue", "-i.bak".
        std::string name = arg, value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        } else if (arg.size() > 2 && arg[1] != '-') {
            name = arg.substr(0, 2);
            value = arg.substr(2);
            hasValue = true;
        }
        const OptionSpec* known = FindOption(name);
        if (!known) return usage("unknown option '" + arg + "'");
        if (known->kind == OptionSpec::Flag && hasValue)
            return usage("option '" + std::string(known->name) + "' takes no value");
        if (known->kind == OptionSpec::Value && !hasValue) {
            if (i + 1 >= args.size()) return usage("option '" + std::string(known->name) + "' needs " + known->value);
            value = args[++i];
        }
        const std::string_view option = known->name;
        if (std::find_if(std::begin(kTextOnly), std::end(kTextOnly), [&](const char* t) { return option == t; }) !=
            std::end(kTextOnly))
            options.textOnly.emplace_back(option);
        const bool file =
            option == "--output" || option == "--report" || option == "--summary" || option == "--add-table";
        if (file && value.empty()) return usage("option '" + std::string(option) + "' needs a file");
        auto oneOf = [&](std::initializer_list<const char*> words) {
            std::string list;
            for (const char* w : words) list += (list.empty() ? "" : ", ") + std::string(w);
            return usage("unknown value '" + value + "' for " + std::string(option) + " (use " + list + ")");
        };
        if (const Choice* choice = FindChoice(option.substr(2))) {
            const int v = ChoiceValue(*choice, value);
            if (v < 0) {
                std::string list;
                for (std::size_t k = 0; k < choice->count; ++k)
                    list += (k ? ", " : "") + std::string(choice->words[k].word);
                return usage("unknown value '" + value + "' for " + std::string(option) + " (use " + list + ")");
            }
            *ChoiceField(options.library, *choice) = v;
        } else if (option == "--help") {
            out << HelpText();
            return kExitOk;
        } else if (option == "--version") {
            out << "kesti " KESTI_VERSION "\n";
            return kExitOk;
        } else if (option == "--output") {
            if (options.output) return usage("only one output file can be given");
            options.output = value;
        } else if (option == "--in-place") {
            options.inPlace = true;
            options.backupSuffix = value;
        } else if (option == "--diff") {
            options.diff = true;
        } else if (option == "--text") {
            options.text = value;
        } else if (option == "--report") {
            options.report = value;
        } else if (option == "--summary") {
            options.summary = value;
        } else if (option == "--report-format") {
            if (value != "tsv" && value != "csv") return oneOf({"tsv", "csv"});
            options.reportFormat = value == "csv" ? ReportFormat::Csv : ReportFormat::Tsv;
        } else if (option == "--lines") {
            options.library.lines = 1;
        } else if (option == "--columns") {
            options.columns = value;
        } else if (option == "--header") {
            options.header = true;
        } else if (option == "--format") {
            if (value != "tsv" && value != "csv") return oneOf({"csv", "tsv"});
            options.format = value == "csv" ? FieldFormat::Csv : FieldFormat::Tsv;
        } else if (option == "--add-table") {
            options.addTables.push_back(value);
        } else if (option == "--progress" || option == "--quiet") {
            const ProgressShown shown = option == "--progress" ? ProgressShown::Always : ProgressShown::Never;
            if (options.progress != ProgressShown::Auto && options.progress != shown)
                return usage("--progress and --quiet cannot both be given");
            options.progress = shown;
        } else if (option == "--threads") {
            // 1 to 64: more threads than that only hold more memory. At
            // most two digits, so that the number cannot overflow.
            const bool digits =
                !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos;
            const int threads = digits ? std::stoi(value) : 0;
            if (threads < 1 || threads > 64) return usage("--threads takes a number from 1 to 64, not '" + value + "'");
            options.threads = static_cast<unsigned>(threads);
        } else if (option == "--exact") {
            options.exact = true;
        } else if (option == "--word") {
            options.word = true;
        } else if (option == "--tables") {
            options.tables = value;
        } else if (option == "--encoding") {
            if (value == "utf-8" || value == "utf8" || value == "UTF-8") {
                options.encoding = Encoding::Utf8;
            } else if (value == "cp1252" || value == "windows-1252") {
                options.encoding = Encoding::Cp1252;
            } else {
                return usage("unknown encoding '" + value + "' (use utf-8 or cp1252)");
            }
        }
    }
    if (const std::string conflict = Conflicts(options); !conflict.empty()) return usage(conflict);
    return std::nullopt;
}

}  // namespace kesti
