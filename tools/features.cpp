// The evidence the text mode's decision weighs, for tools/fit_weights.py:
// reads texts from standard input, one a line, and writes for each a line
// of JSON: its sentences, each a list of words
// [begin, end, open, [features], [step features]] with byte offsets into
// the line. Usage: kesti_features [--lines] TABLES_DIR
#include <iostream>
#include <string>
#include <vector>

#include "prose/decide.h"
#include "prose/prose.h"
#include "prose/scope.h"
#include "prose/words.h"

int main(int argc, char** argv) {
    kesti::TextOptions options;
    std::string tables;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lines") {
            options.lines = true;
        } else if (arg == "--names") {
            for (int f = 0; f < kesti::kFeatureCount; ++f) std::cout << kesti::FeatureName(f) << "\n";
            return 0;
        } else {
            tables = arg;
        }
    }
    kesti::TextTables loaded;
    kesti::TablesError error;
    if (tables.empty() || !kesti::LoadTextTables(tables, loaded, error)) {
        std::cerr << "usage: kesti_features [--lines] [--names] TABLES_DIR\n";
        return 2;
    }
    kesti::ScopeWorkOwner work;
    std::vector<std::vector<kesti::WordEvidence>> sentences;
    std::string line;
    while (std::getline(std::cin, line)) {
        kesti::DescribeScope(*loaded.lexicon, options, line, *work.work, sentences);
        std::string out = "[";
        for (std::size_t s = 0; s < sentences.size(); ++s) {
            out += s ? ",[" : "[";
            for (std::size_t k = 0; k < sentences[s].size(); ++k) {
                const kesti::WordEvidence& e = sentences[s][k];
                out += k ? ",[" : "[";
                out += std::to_string(e.begin) + "," + std::to_string(e.end) + "," + (e.open ? "1" : "0") + ",[";
                for (std::size_t f = 0; f < e.features.size(); ++f) {
                    if (f) out += ',';
                    out += std::to_string(e.features[f]);
                }
                out += "],[";
                for (std::size_t f = 0; f < e.step.size(); ++f) {
                    if (f) out += ',';
                    out += std::to_string(e.step[f]);
                }
                out += "]]";
            }
            out += "]";
        }
        out += "]\n";
        std::cout << out;
    }
    return 0;
}
