// Helpers shared by the tests: tables built from literal bytes, temporary
// directories, and files written byte for byte.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "prose/prose.h"
#include "table/table.h"

namespace kesti::test {

// A table split and sorted from `bytes`, released when it goes out of scope.
struct TestTable {
    TableOwner owner;
    ConversionTable& table = owner.table;
    explicit TestTable(std::string_view bytes, bool cutAtLimit = false) {
        char* text = static_cast<char*>(std::malloc(bytes.size() + kTextPadding));
        std::memcpy(text, bytes.data(), bytes.size());
        status = BuildTable(text, bytes.size(), cutAtLimit, table);
    }
    TestTable(const TestTable&) = delete;
    TestTable& operator=(const TestTable&) = delete;
    LoadStatus status;
};

// A fresh directory under the system's temporary directory, removed at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kesti-test-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
};

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `call` on a thread and says whether it returned within `seconds`.
// A call still blocked in opening or reading the FIFO at `fifo` is then
// released by opening and closing the FIFO's writing end, so that a test of
// code that must not block fails instead of hanging.
bool ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& call, int seconds = 10);

// Converts `input` whole with `table`, through the bounded pass.
std::string Convert(const ConversionTable& table, std::string_view input);

// The text mode's tables as shipped in data/, loaded once.
const TextTables& ShippedTextTables();

}  // namespace kesti::test
