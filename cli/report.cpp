#include "cli/report.h"

#include <algorithm>

namespace kesti {

ReportWriter::ReportWriter(std::ostream& out, ReportFormat format, bool summary)
    : out(out), format(format), summary(summary) {
    if (format == ReportFormat::Csv) out << "\xEF\xBB\xBF";  // so that a spreadsheet reads UTF-8
    if (summary) {
        Row({"count", "original", "result", "decision", "ambiguous", "alternatives"});
    } else {
        Row({"file", "line", "column", "original", "result", "decision", "ambiguous", "alternatives"});
    }
}

void ReportWriter::Row(std::initializer_list<std::string_view> fields) {
    line.clear();
    bool first = true;
    for (std::string_view field : fields) {
        if (format == ReportFormat::Csv) {
            line += first ? "\"" : ",\"";
            for (char c : field) {
                if (c == '"') line += '"';
                line += c;
            }
            line += '"';
        } else {
            if (!first) line += '\t';
            AppendReportField(line, field);  // escaped as the engine's own rows are
        }
        first = false;
    }
    line += format == ReportFormat::Csv ? "\r\n" : "\n";
    out << line;
}

void ReportWriter::Add(std::string_view file, const ReportRecord& r) {
    if (!summary) {
        Row({file, std::to_string(r.line), std::to_string(r.column), r.original, r.result, DecisionName(r.decision),
             r.ambiguous ? "yes" : "no", r.alternatives});
        return;
    }
    std::string key = r.original;
    key += '\0';
    key += r.result;
    key += '\0';
    key += DecisionName(r.decision);
    Count& c = counts[key];
    if (c.count++ == 0) {
        c.first = counts.size();
        c.original = r.original;
        c.result = r.result;
        c.decision = r.decision;
        c.ambiguous = r.ambiguous;
        c.alternatives = r.alternatives;
    }
    c.ambiguous = c.ambiguous || r.ambiguous;
}

void ReportWriter::Finish() {
    if (!summary) return;
    std::vector<const Count*> rows;
    rows.reserve(counts.size());
    for (const auto& [key, c] : counts) rows.push_back(&c);
    std::sort(rows.begin(), rows.end(), [](const Count* a, const Count* b) {
        return a->count != b->count ? a->count > b->count : a->first < b->first;
    });
    for (const Count* c : rows)
        Row({std::to_string(c->count), c->original, c->result, DecisionName(c->decision), c->ambiguous ? "yes" : "no",
             c->alternatives});
}

}  // namespace kesti
