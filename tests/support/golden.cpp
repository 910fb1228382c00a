#include "tests/support/golden.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kesti::test {
namespace {

std::string Unescape(const std::string& text, int line) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char c = i + 1 < text.size() ? text[++i] : '\0';
        switch (c) {
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x':
                if (i + 2 < text.size() + 0 && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                    std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                    out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                    break;
                }
                [[fallthrough]];
            default:
                ADD_FAILURE() << "conversions.txt:" << line << ": bad escape";
        }
    }
    return out;
}

}  // namespace

std::vector<GoldenCase> ReadGoldenCases() {
    std::ifstream file(std::string(KESTI_SOURCE_DIR) + "/tests/golden/conversions.txt", std::ios::binary);
    EXPECT_TRUE(file) << "tests/golden/conversions.txt is missing";
    std::vector<GoldenCase> cases;
    GoldenCase next;
    bool haveTable = false, haveInput = false;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : Unescape(line.substr(space + 1), number);
        if (word == "table") {
            next.table = value;
            haveTable = true;
        } else if (word == "input" && haveTable) {
            next.input = value;
            haveInput = true;
        } else if (word == "output" && haveInput) {
            next.output = value;
            next.line = number;
            cases.push_back(next);
            haveInput = false;
        } else {
            ADD_FAILURE() << "conversions.txt:" << number << ": unexpected line";
        }
    }
    return cases;
}

}  // namespace kesti::test
