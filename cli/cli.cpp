#include "cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "api/options.h"
#include "api/pass.h"
#include "api/stream.h"
#include "cli/diff.h"
#include "cli/fields.h"
#include "cli/files.h"
#include "cli/input.h"
#include "cli/options.h"
#include "cli/report.h"
#include "platform/table_dir.h"
#include "prose/lexicon.h"
#include "prose/prose.h"
#include "table/table.h"

namespace kesti {
namespace {

std::string Reason(int error) { return std::strerror(error); }

// Why a stream failed, when it runs over a file descriptor.
std::string StreamReason(std::ios& stream, const char* otherwise) {
    if (auto* buffer = dynamic_cast<DescriptorBuffer*>(stream.rdbuf()); buffer && buffer->error())
        return Reason(buffer->error());
    return otherwise;
}

// Inputs larger than this show their progress on a terminal.
constexpr std::uint64_t kProgressBytes = 50'000'000;

// The input that is the file `target` (a regular file), as messages name
// it, or nothing.
std::optional<std::string> InputThatIs(const Options& options, const FileIdentity& target) {
    if (!target.regular || options.text) return std::nullopt;
    FileIdentity input;
    int error = 0;
    if (options.ReadsStandardInput() && IdentifyStandardInput(input, error) && SameFile(input, target))
        return "standard input";
    for (const std::string& file : options.files)
        if (file != "-" && IdentifyPath(file, input, error) && SameFile(input, target)) return file;
    return std::nullopt;
}

// Paths the command must not write: an input as -o, --report or --summary
// (it would be replaced while it is read); one file as two of them; and, as
// cat refuses, standard output appended to an input ("kesti f >> f" would
// read what it writes until the disk is full).
std::optional<int> RefuseUnsafePaths(const Options& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> written;
    for (const std::optional<std::string>* path : {&options.output, &options.report, &options.summary})
        if (*path && **path != "-") written.push_back(**path);
    for (std::size_t i = 0; i < written.size(); ++i) {
        FileIdentity target;
        int error = 0;
        if (IdentifyPath(written[i], target, error) && InputThatIs(options, target)) {
            err << "kesti: " << written[i] << ": refusing to overwrite an input\n";
            return kExitUsage;
        }
        for (std::size_t k = 0; k < i; ++k) {
            if (SamePath(written[k], written[i])) {
                err << "kesti: " << written[i] << ": the output, the report and the summary cannot be one file\n";
                return kExitUsage;
            }
        }
    }
    if (options.inPlace) {
        for (std::size_t i = 0; i < options.files.size(); ++i)
            for (std::size_t k = 0; k < i; ++k)
                if (SamePath(options.files[k], options.files[i])) {
                    err << "kesti: " << options.files[i] << ": named twice for --in-place\n";
                    return kExitUsage;
                }
    }
    const bool textToStandardOutput = (!options.output || *options.output == "-") && !options.inPlace;
    if (textToStandardOutput) {
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

// A file the command writes whole or not at all (-o, --report, --summary,
// --in-place): through a temporary file renamed over the path at the end,
// with the reason of a failed write kept for the message. "-" is standard
// output.
struct WrittenFile {
    OutputFile file;
    std::optional<DescriptorBuffer> buffer;
    std::optional<std::ostream> own;
    std::ostream* stream = nullptr;
    std::string name;

    bool Open(const std::string& path, std::ostream& standardOutput, std::ostream& err) {
        name = path == "-" ? "standard output" : path;
        if (path == "-") {
            stream = &standardOutput;
            return true;
        }
        int error = 0;
        if (!file.Open(path, error)) {
            err << "kesti: " << path << ": " << Reason(error) << "\n";
            return false;
        }
        buffer.emplace(file.fd);
        own.emplace(&*buffer);
        stream = &*own;
        return true;
    }
    bool Flush(std::ostream& err) {
        if (stream->flush()) return true;
        err << "kesti: " << name << ": " << StreamReason(*stream, "write error") << "\n";
        return false;
    }
    // Flushes and renames into place; names the reason when that fails.
    bool Commit(std::ostream& err) {
        if (!Flush(err)) return false;
        int error = 0;
        if (own && !file.Commit(error)) {
            err << "kesti: " << name << ": " << Reason(error) << "\n";
            return false;
        }
        return true;
    }
};

// A stream buffer that hands what is written to a function: a conversion
// on its way to a diff.
struct HandOver : std::streambuf {
    explicit HandOver(std::function<void(std::string_view)> to) : to(std::move(to)) {}
    std::function<void(std::string_view)> to;

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            to(std::string_view(&ch, 1));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        to(std::string_view(data, static_cast<std::size_t>(size)));
        return size;
    }
};

// What converts, and where the reports go.
struct Run {
    const Options& options;
    std::ostream& err;
    const ConversionTable* table = nullptr;  // --exact
    const TextTables* text = nullptr;        // the text mode
    TextOptions textOptions;
    std::unique_ptr<ItemConverter> items;  // --columns
    ColumnChoice columns;
    std::vector<ReportWriter*> reports;  // --report, --summary

    // Converts `in`, named `name` in messages and the report, to `out`.
    // False after naming what failed.
    bool Convert(std::istream& in, const std::string& name, const std::string& reportName, std::ostream& out,
                 std::ostream& outNamed, const std::string& outName, InputTap* tap) {
        RecordSink sink;
        if (!reports.empty())
            sink = [&](const ReportRecord& r) {
                for (ReportWriter* w : reports) w->Add(reportName, r);
            };
        StreamResult r;
        if (table) {
            r = ConvertStream(*table, options.encoding, in, out);
        } else if (items) {
            const FieldFormat format = options.format ? *options.format : FormatOfName(name);
            FieldConverter fields(*items, format, columns, options.header);
            r = ConvertFieldStream(fields, options.encoding, in, out, sink);
            // Every record shorter than the columns chosen: most likely a
            // CSV read as TSV (standard input, a name not ending in .csv).
            // Nothing was converted; the records passed through whole.
            if (r.ok && fields.records > 0 && fields.recordsWithChosen == 0)
                err << "kesti: " << name << ": warning: no record has the columns --columns chose"
                    << (format == FieldFormat::Csv ? " (read as CSV)" : "; it was read as TSV: --format csv reads CSV")
                    << "\n";
        } else {
            r = ConvertRunningStream(*text, textOptions, in, out, sink);
        }
        if (tap) tap->Done();
        // A read that failed looks like the end of the input to the stream;
        // the buffer under it knows better.
        auto* source = dynamic_cast<DescriptorBuffer*>(tap ? nullptr : in.rdbuf());
        if (r.ok && source && source->error()) r.ok = false, r.inputFailed = true;
        if (r.ok) return true;
        if (r.outputFailed) {
            err << "kesti: " << outName << ": " << StreamReason(outNamed, "write error") << "\n";
        } else if (r.inputFailed) {
            err << "kesti: " << name << ": " << StreamReason(in, "read error") << "\n";
        } else {
            err << "kesti: " << name << ": " << r.error;
            // A file that is not UTF-8 but reads as Windows-1252.
            if (options.encoding == Encoding::Utf8 && r.error.rfind("invalid UTF-8", 0) == 0 && tap &&
                r.errorOffset < tap->first.size() && ReadsAsCp1252(tap->first))
                err << "; it reads as Windows-1252: convert it with --encoding cp1252";
            err << "\n";
        }
        return false;
    }
};

bool ShowProgress(const Options& options, std::uint64_t size) {
    if (options.progress == ProgressShown::Never || !ErrorIsTerminal()) return false;
    return options.progress == ProgressShown::Always || size > kProgressBytes;
}

// Opens one input (a file, or "-" for standard input), taps it and
// converts it; `to` gives the stream its conversion goes to.
bool ConvertInput(Run& run, const std::string& file, std::istream& standardInput, std::ostream& out,
                  std::ostream& outNamed, const std::string& outName, LineDiff* diff) {
    const Options& options = run.options;
    std::ifstream opened;
    std::istream* source = &standardInput;
    FileIdentity info;
    int error = 0;
    if (file != "-") {
        if (!IdentifyPath(file, info, error)) {
            run.err << "kesti: " << file << ": " << Reason(error) << "\n";
            return false;
        }
        if (info.directory) {
            run.err << "kesti: " << file << ": " << Reason(EISDIR) << "\n";
            return false;
        }
        opened.open(file, std::ios::binary);
        if (!opened) {
            run.err << "kesti: " << file << ": " << Reason(errno) << "\n";
            return false;
        }
        source = &opened;
    } else {
        IdentifyStandardInput(info, error);
    }
    const std::string name = file == "-" ? "standard input" : file;
    // A file named converts several paragraphs at once; standard input's
    // (perhaps typed, or a pipe's) are written as each ends.
    const unsigned processors = std::max(1u, std::min(std::thread::hardware_concurrency(), 4u));
    run.textOptions.threads = options.threads ? options.threads : file != "-" && info.regular ? processors : 1;
    InputTap tap(*source->rdbuf(), name, info.regular ? info.size : 0, ShowProgress(options, info.size));
    if (diff) tap.tee = [diff](std::string_view bytes) { diff->Old(bytes); };
    std::istream in(&tap);
    const bool ok = run.Convert(in, name, file, out, outNamed, outName, &tap);
    // The tap hides the buffer under it: a read that failed ends the input.
    if (ok) {
        auto* under = dynamic_cast<DescriptorBuffer*>(source->rdbuf());
        if ((under && under->error()) || source->bad()) {
            run.err << "kesti: " << name << ": " << (under && under->error() ? Reason(under->error()) : "read error")
                    << "\n";
            return false;
        }
    }
    return ok;
}

// Loads what converts; an exit status when it cannot be.
std::optional<int> LoadEngine(const Options& options, Run& run, TableOwner& owner, TextTables& tables) {
    std::string directory = options.tables.empty() ? ProgramTableDirectory() : options.tables;
    if (directory.empty()) {
        run.err << "kesti: cannot determine the tables directory; use --tables DIR\n";
        return kExitFailure;
    }
    if (options.exact) {
        const std::string path = directory + kPathSeparator + (options.word ? kWordTableName : kSyllableTableName);
        TablesError failure;
        if (!LoadNamedTable(path, owner.table, failure)) {
            run.err << "kesti: " << failure.path << ": " << TablesErrorReason(failure) << "\n";
            return kExitFailure;
        }
        // Files and standard input are usually long enough for the index
        // to pay off. Without memory for it the output is the same.
        if (!options.text || IndexPaysOff(owner.table, options.text->size())) BuildLookupIndex(owner.table);
        run.table = &owner.table;
        return std::nullopt;
    }
    TablePaths paths;
    auto in = [&](const char* name) { return directory + kPathSeparator + name; };
    paths.syllables = in(kSyllableTableName);
    paths.words = in(kWordTableName);
    paths.english = in(kEnglishTableName);
    paths.alternatives = in(kAlternativesTableName);
    paths.conventional = in(kConventionalTableName);
    paths.added = options.addTables;
    TablesError failure;
    if (!LoadTextTables(paths, tables, failure)) {
        run.err << "kesti: " << failure.path << ": " << TablesErrorReason(failure) << "\n";
        return kExitFailure;
    }
    run.text = &tables;
    run.textOptions = TextOptionsOf(options.library);
    run.textOptions.encoding = options.encoding;
    if (options.columns) {
        std::string error;
        if (!ParseColumns(*options.columns, run.columns, error)) {
            run.err << "kesti: " << error << "\nTry 'kesti --help' for more information.\n";
            return kExitUsage;
        }
        if (!run.columns.names.empty() && !options.header) {
            run.err << "kesti: --columns names columns: add --header\nTry 'kesti --help' for more information.\n";
            return kExitUsage;
        }
        run.items = std::make_unique<ItemConverter>(tables, run.textOptions);
    }
    return std::nullopt;
}

// --in-place: every file converted to a temporary file beside it first;
// only when all are, backups are made and the files replaced.
int RewriteInPlace(Run& run, std::istream& in, std::ostream& err) {
    const Options& options = run.options;
    std::vector<std::unique_ptr<WrittenFile>> written;
    for (const std::string& file : options.files) {
        FileIdentity info;
        int error = 0;
        if (IdentifyPath(file, info, error) && !info.regular) {
            err << "kesti: " << file << ": not a regular file: --in-place rewrites regular files only\n";
            return kExitFailure;
        }
        auto& target = written.emplace_back(std::make_unique<WrittenFile>());
        if (!target->Open(file, std::cout, err)) return kExitFailure;
        if (!ConvertInput(run, file, in, *target->stream, *target->stream, file, nullptr)) return kExitFailure;
        if (!target->Flush(err)) return kExitFailure;
    }
    if (!options.backupSuffix.empty()) {
        for (const auto& target : written) {
            const std::string& path = target->file.target;
            const std::string backup = path + options.backupSuffix;
            std::remove(backup.c_str());
            if (link(path.c_str(), backup.c_str()) != 0) {
                err << "kesti: " << backup << ": " << Reason(errno) << " (nothing was rewritten)\n";
                return kExitFailure;
            }
        }
    }
    for (const auto& target : written)
        if (!target->Commit(err)) return kExitFailure;
    return kExitOk;
}

}  // namespace

int RunKesti(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Options options;
    if (std::optional<int> done = ParseOptions(args, options, out, err)) return *done;
    if (std::optional<int> refused = RefuseUnsafePaths(options, out, err)) return *refused;

    Run run{options, err, nullptr, nullptr, {}, {}, {}, {}};
    TableOwner owner;
    TextTables tables;
    if (std::optional<int> failed = LoadEngine(options, run, owner, tables)) return *failed;

    // The report and the summary, like the output, replace their files only
    // once everything has been converted: an old report survives a failed run.
    WrittenFile reportFile, summaryFile;
    std::optional<ReportWriter> report, summary;
    if (options.report) {
        if (!reportFile.Open(*options.report, out, err)) return kExitFailure;
        report.emplace(*reportFile.stream, options.reportFormat, false);
        run.reports.push_back(&*report);
    }
    if (options.summary) {
        if (!summaryFile.Open(*options.summary, out, err)) return kExitFailure;
        summary.emplace(*summaryFile.stream, options.reportFormat, true);
        run.reports.push_back(&*summary);
    }
    auto finishReports = [&] {
        if (summary) summary->Finish();
        return (!report || reportFile.Commit(err)) && (!summary || summaryFile.Commit(err));
    };

    if (options.inPlace) {
        const int status = RewriteInPlace(run, in, err);
        if (status != kExitOk) return status;
        return finishReports() ? kExitOk : kExitFailure;
    }

    WrittenFile output;
    if (!output.Open(options.output ? *options.output : "-", out, err)) return kExitFailure;
    std::vector<std::string> files = options.files;
    if (files.empty() && !options.text) files.push_back("-");

    if (options.text) {
        std::istringstream input(*options.text);
        if (!run.Convert(input, "--text", "-", *output.stream, *output.stream, output.name, nullptr))
            return kExitFailure;
        *output.stream << "\n";
    }
    for (const std::string& file : files) {
        if (options.diff) {
            // The conversion goes to the diff, never to a file.
            LineDiff diff(*output.stream, file == "-" ? "-" : file);
            HandOver handOver([&diff](std::string_view bytes) { diff.New(bytes); });
            std::ostream converted(&handOver);
            if (!ConvertInput(run, file, in, converted, *output.stream, output.name, &diff)) return kExitFailure;
            diff.Finish();
            continue;
        }
        if (!ConvertInput(run, file, in, *output.stream, *output.stream, output.name, nullptr)) return kExitFailure;
    }
    if (!output.Commit(err)) return kExitFailure;
    return finishReports() ? kExitOk : kExitFailure;
}

}  // namespace kesti
