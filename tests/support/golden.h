// The golden cases of tests/golden/conversions.txt: a table, an input and
// the output every face of the exact conversion must give.
#pragma once

#include <string>
#include <vector>

namespace kesti::test {

struct GoldenCase {
    std::string table;
    std::string input;
    std::string output;
    int line = 0;  // where the case's output line stands
};

// Reads the file; a malformed line fails the calling test.
std::vector<GoldenCase> ReadGoldenCases();

}  // namespace kesti::test
