// The page's side of the C interface: the few calls its worker makes. A
// conversion is handed over as three buffers (the text, the report in the
// command's TSV, a decision number per record) that JavaScript reads whole,
// instead of a call per field of every record.
#include <cstdint>
#include <string>
#include <vector>

#include "api/vocabulary.h"
#include "kesti/kesti.h"

namespace {

// The last conversion, kept until the next one for the worker to read.
std::string gText;
std::string gReport;
std::vector<unsigned char> gDecisions;
std::size_t gOffset = 0;
std::size_t gOpen = 0;  // converters open now, for the worker's tests

// A report field as the command writes it: tabs, line breaks and
// backslashes escaped, so that a record stays one line of the TSV.
void AppendField(std::string& out, const char* text) {
    for (const char* p = text; *p; ++p) {
        switch (*p) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += *p;
        }
    }
}

}  // namespace

extern "C" {

// Opens a text-mode converter on the tables in `tableDir`, with the
// command's text options as their kesti.h values. Null on failure, with
// the status in *status.
kesti_converter* kesti_web_open(const char* tableDir, int hyphens, int tones, int english, int conventional,
                                int* status) noexcept {
    kesti_options options;
    kesti_options_init(&options);
    options.table_dir = tableDir;
    options.hyphens = hyphens;
    options.tones = tones;
    options.english = english;
    options.conventional = conventional;
    kesti_converter* converter = nullptr;
    *status = kesti_open(&options, &converter, nullptr);
    gOpen += converter != nullptr;
    return converter;
}

void kesti_web_close(kesti_converter* converter) noexcept {
    gOpen -= converter != nullptr;
    kesti_close(converter);
}

// How many converters are open: each holds its tables and their index.
std::size_t kesti_web_open_count() noexcept { return gOpen; }

// Converts `size` bytes of UTF-8, the piece of a longer text whose first
// line is `firstLine`, from the file called `file` ("-" for typed text).
// Returns the status. On KESTI_OK the converted text, the report as the
// command writes it (without its header, lines counted from firstLine) and
// one decision number per record can be read with the
// functions below; on KESTI_ERROR_INVALID_UTF8 kesti_web_offset gives the
// byte offset.
int kesti_web_convert(const kesti_converter* converter, const char* input, std::size_t size, std::size_t firstLine,
                      const char* file) noexcept {
    try {
        gText.clear();
        gReport.clear();
        gDecisions.clear();
        gOffset = 0;
        std::size_t capacity = 2 * size + 64, length = 0;
        gText.resize(capacity);
        kesti_report* report = nullptr;
        kesti_status status = kesti_convert(converter, input, size, gText.data(), capacity, &length, &report);
        if (status == KESTI_ERROR_OUTPUT_TOO_SMALL) {
            capacity = length;
            gText.resize(capacity);
            status = kesti_convert(converter, input, size, gText.data(), capacity, &length, &report);
        }
        if (status == KESTI_ERROR_INVALID_UTF8) gOffset = length;
        if (status != KESTI_OK) {
            gText.clear();
            return status;
        }
        gText.resize(length);
        const std::size_t records = kesti_report_size(report);
        gDecisions.resize(records);
        for (std::size_t i = 0; i < records; ++i) {
            kesti_record r;
            kesti_report_record(report, i, &r);
            AppendField(gReport, file);
            gReport += '\t';
            gReport += std::to_string(firstLine - 1 + r.line) + '\t' + std::to_string(r.column) + '\t';
            AppendField(gReport, r.original);
            gReport += '\t';
            AppendField(gReport, r.result);
            gReport += '\t';
            gReport += r.decision_name;
            gReport += r.ambiguous ? "\tyes\t" : "\tno\t";
            AppendField(gReport, r.alternatives);
            gReport += '\n';
            gDecisions[i] = static_cast<unsigned char>(r.decision);
        }
        kesti_report_free(report);
        return status;
    } catch (...) {
        gText.clear();
        gReport.clear();
        gDecisions.clear();
        return KESTI_ERROR_NO_MEMORY;
    }
}

const char* kesti_web_text() noexcept { return gText.data(); }
std::size_t kesti_web_text_size() noexcept { return gText.size(); }
const char* kesti_web_report() noexcept { return gReport.data(); }
std::size_t kesti_web_report_size() noexcept { return gReport.size(); }
const unsigned char* kesti_web_decisions() noexcept { return gDecisions.data(); }
std::size_t kesti_web_decision_count() noexcept { return gDecisions.size(); }
std::size_t kesti_web_offset() noexcept { return gOffset; }

// The text mode's choices and their kesti.h values, as JSON:
// {"hyphens": {"join": 0, "keep": 1}, ...}, the default first. The worker
// passes the values from here, and the page checks its menus against it.
const char* kesti_web_choices() noexcept {
    static std::string json;
    if (!json.empty()) return json.c_str();
    try {
        json = "{";
        for (const kesti::Choice& choice : kesti::kChoices) {
            if (json.size() > 1) json += ", ";
            json = json + '"' + choice.option + "\": {";
            for (std::size_t i = 0; i < choice.count; ++i) {
                if (i > 0) json += ", ";
                json = json + '"' + choice.words[i].word + "\": " + std::to_string(choice.words[i].value);
            }
            json += "}";
        }
        json += "}";
    } catch (...) {
        json.clear();
        return "{}";
    }
    return json.c_str();
}

const char* kesti_web_status_message(int status) noexcept {
    return kesti_status_message(static_cast<kesti_status>(status));
}

}  // extern "C"
