// The command's options: one table of what it takes (kOptions), which the
// parser reads, --help is written from, and the tests hold the manual page
// against. The text mode's choices take their words from
// api/vocabulary.h, as the bindings do.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "kesti/kesti.h"
#include "text/transcode.h"

namespace kesti {

enum class FieldFormat { Csv, Tsv };
enum class ReportFormat { Tsv, Csv };
enum class ProgressShown { Auto, Always, Never };

struct Options {
    bool exact = false, word = false;
    kesti_options library{};            // the text mode's choices and lines, as the C interface takes them
    std::vector<std::string> textOnly;  // text-mode options given, for the message with --exact
    std::optional<std::string> output, text, report, summary, columns;
    bool inPlace = false;
    std::string backupSuffix;  // with --in-place, the backup's suffix; empty for none
    bool header = false, diff = false;
    std::optional<FieldFormat> format;
    ReportFormat reportFormat = ReportFormat::Tsv;
    ProgressShown progress = ProgressShown::Auto;
    unsigned threads = 0;  // --threads; 0 for the default
    std::vector<std::string> addTables;
    std::string tables;
    Encoding encoding = Encoding::Utf8;
    std::vector<std::string> files;

    Options();
    // Whether the inputs are the files named, else standard input.
    bool ReadsStandardInput() const;
};

struct OptionSpec {
    const char* name;  // "--tones"
    char shortName;    // 'o', or 0
    enum Kind { Flag, Value, OptionalValue } kind;
    const char* value;  // what the value is, for the help ("FILE", "HOW")
    const char* help;   // what it does, lines joined by \n
};

extern const OptionSpec kOptions[];
extern const std::size_t kOptionCount;

// The help, written from kOptions.
std::string HelpText();

// Parses the arguments into `options`; returns an exit status when the run
// ends here (--help, --version, a usage error, written to `out` or `err`).
std::optional<int> ParseOptions(const std::vector<std::string>& args, Options& options, std::ostream& out,
                                std::ostream& err);

}  // namespace kesti
