// The built shared library loaded as a host loads it, with dlopen, and a
// test fixture that gives each test a temporary tables directory named by
// KESTI_TABLE_DIR.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/support.h"

namespace kesti::test {

using ConvertFn = int32_t (*)(const char*, char*);

struct Library {
    void* handle = nullptr;
    ConvertFn syllable = nullptr;
    ConvertFn word = nullptr;
    Library() {
        handle = dlopen(KESTI_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        syllable = reinterpret_cast<ConvertFn>(dlsym(handle, "ConvertWGToPinyin"));
        word = reinterpret_cast<ConvertFn>(dlsym(handle, "ConvertWGToPinyinWord"));
    }
    ~Library() {
        if (handle) dlclose(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(lib.handle, nullptr) << dlerror();
        ASSERT_NE(lib.syllable, nullptr);
        ASSERT_NE(lib.word, nullptr);
        setenv("KESTI_TABLE_DIR", dir.path.c_str(), 1);
    }
    void TearDown() override { unsetenv("KESTI_TABLE_DIR"); }

    void Tables(const std::string& syllables, const std::string& words) {
        WriteFile(dir.File("kestisyl.txt"), syllables);
        WriteFile(dir.File("kestiwrd.txt"), words);
    }

    // Converts into a buffer of exactly `room` bytes, so that the
    // sanitizers see a write one byte too far.
    std::string Call(ConvertFn fn, const std::string& input, std::size_t room, int32_t* result = nullptr) {
        std::vector<char> in(input.begin(), input.end());
        in.push_back('\0');
        std::vector<char> out(room, '#');
        const int32_t r = fn(in.data(), out.data());
        if (result) *result = r;
        EXPECT_NE(r, 0);
        return std::string(out.data(), strnlen(out.data(), out.size()));
    }

    Library lib;
    TempDir dir;
};

}  // namespace kesti::test
