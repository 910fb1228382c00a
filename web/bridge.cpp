// The page's side of the C interface: the few calls its worker makes, with
// the converted text and the report handed over as one JSON document, so
// that JavaScript reads a conversion with one string instead of a call per
// field of every record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kesti/kesti.h"

namespace {

// The last conversion's JSON: kept until the next one, for the worker to read.
std::string gResult;

// Appends `size` bytes of UTF-8 as a JSON string (a NUL among them too).
void AppendJsonString(std::string& out, const char* text, std::size_t size) {
    out += '"';
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

void AppendJsonString(std::string& out, const char* text) { AppendJsonString(out, text, std::strlen(text)); }

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
    return converter;
}

void kesti_web_close(kesti_converter* converter) noexcept { kesti_close(converter); }

// Converts `size` bytes of UTF-8. Returns the status; on KESTI_OK the result
// is {"text": ..., "records": [[line, column, original, result, decision,
// decision name, ambiguous, alternatives], ...]}, and on
// KESTI_ERROR_INVALID_UTF8 {"offset": byte offset}; read it with
// kesti_web_result.
int kesti_web_convert(const kesti_converter* converter, const char* input, std::size_t size) noexcept {
    try {
        gResult.clear();
        std::size_t capacity = 2 * size + 64, length = 0;
        char* output = static_cast<char*>(std::malloc(capacity + 1));
        if (!output) return KESTI_ERROR_NO_MEMORY;
        kesti_report* report = nullptr;
        kesti_status status = kesti_convert(converter, input, size, output, capacity, &length, &report);
        if (status == KESTI_ERROR_OUTPUT_TOO_SMALL) {
            capacity = length;
            char* bigger = static_cast<char*>(std::realloc(output, capacity + 1));
            if (!bigger) {
                std::free(output);
                return KESTI_ERROR_NO_MEMORY;
            }
            output = bigger;
            status = kesti_convert(converter, input, size, output, capacity, &length, &report);
        }
        if (status == KESTI_ERROR_INVALID_UTF8) {
            gResult = "{\"offset\":" + std::to_string(length) + "}";
        } else if (status == KESTI_OK) {
            gResult.reserve(length + length / 8 + 64);
            gResult = "{\"text\":";
            AppendJsonString(gResult, output, length);
            gResult += ",\"records\":[";
            const std::size_t records = kesti_report_size(report);
            for (std::size_t i = 0; i < records; ++i) {
                kesti_record r;
                kesti_report_record(report, i, &r);
                if (i) gResult += ',';
                gResult += '[' + std::to_string(r.line) + ',' + std::to_string(r.column) + ',';
                AppendJsonString(gResult, r.original);
                gResult += ',';
                AppendJsonString(gResult, r.result);
                gResult += ',' + std::to_string(static_cast<int>(r.decision)) + ',';
                AppendJsonString(gResult, r.decision_name);
                gResult += r.ambiguous ? ",1," : ",0,";
                AppendJsonString(gResult, r.alternatives);
                gResult += ']';
            }
            gResult += "]}";
        }
        kesti_report_free(report);
        std::free(output);
        return status;
    } catch (...) {
        gResult.clear();
        return KESTI_ERROR_NO_MEMORY;
    }
}

const char* kesti_web_result() noexcept { return gResult.data(); }

std::size_t kesti_web_result_size() noexcept { return gResult.size(); }

const char* kesti_web_status_message(int status) noexcept {
    return kesti_status_message(static_cast<kesti_status>(status));
}

}  // extern "C"
