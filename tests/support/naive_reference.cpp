#include "tests/support/naive_reference.h"

namespace kesti::test {
namespace {

bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool Break(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::vector<NaiveRecord> NaiveSplit(std::string text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Break(text[i])) {
            if (i + 1 < text.size() && Break(text[i + 1])) ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    std::vector<NaiveRecord> records;
    for (const std::string& line : lines) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::size_t end = line.find('\t', tab + 1);
        records.push_back({line.substr(0, tab), line.substr(tab + 1, end == std::string::npos ? end : end - tab - 1)});
    }
    return records;
}

std::string NaiveConvert(const std::vector<NaiveRecord>& records, const std::string& in) {
    std::string out;
    std::size_t i = 0;
    while (i < in.size()) {
        const NaiveRecord* best = nullptr;
        if (Letter(in[i])) {
            std::size_t run = 0;
            while (i + run < in.size() && Letter(in[i + run])) ++run;
            for (const NaiveRecord& r : records) {
                const std::size_t L = r.key.size();
                if (L == 0 || i + L > in.size()) continue;
                bool same = true;
                for (std::size_t k = 0; k < L; ++k) same = same && Lower(r.key[k]) == Lower(in[i + k]);
                if (!same) continue;
                const char after = i + L < in.size() ? in[i + L] : '\0';
                if (Letter(after) || (L > run && after == '-')) continue;
                if (!best || L >= best->key.size()) best = &r;
            }
        }
        if (!best) {
            out += in[i++];
            continue;
        }
        const std::size_t L = best->key.size();
        std::string value = best->value;
        if (Upper(in[i + L - 1]) == in[i + L - 1] && Letter(in[i + L - 1])) {
            for (char& c : value) c = Upper(c);
        } else if (Letter(in[i]) && Upper(in[i]) == in[i] && !value.empty()) {
            value[0] = Upper(value[0]);
        }
        out += value;
        i += L;
    }
    return out;
}

}  // namespace kesti::test
