#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "api/pass.h"

namespace kesti::test {

std::string Convert(const ConversionTable& table, std::string_view input) {
    std::string output(input.size() * std::max<std::size_t>(1, table.maxValueLength), '\0');
    const PassProgress progress =
        RunConversionPass(table, input.data(), input.size(), true, output.data(), output.size());
    output.resize(progress.written);
    return output;
}

const TextTables& ShippedTextTables() {
    static const TextTables tables = [] {
        TextTables t;
        TablesError error;
        EXPECT_TRUE(LoadTextTables(KESTI_DATA_DIR, t, error)) << error.path;
        return t;
    }();
    return tables;
}

}  // namespace kesti::test
