// A C++ host whose operator new throws after a given number of allocations,
// as a host with its own allocator, or out of memory, would. It loads the
// shared library like any host and calls both exported functions with
// every budget from 0 allocations up: each call must return 0 or succeed
// with the right output. An exception escaping a function would end the
// process (the functions are noexcept) or be counted here as a failure.
#include <dlfcn.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<long> budget{-1};  // allocations left before new throws; -1: no limit
std::atomic<long> made{0};     // allocations through operator new while counting

void* Allocate(std::size_t size) {
    if (budget.load() >= 0) {
        ++made;
        if (budget.fetch_sub(1) == 0) throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using ConvertFn = std::int32_t (*)(const char*, char*);

int main() {
    // A directory name longer than any short-string buffer, so that code
    // building it in a std::string would have to allocate.
    setenv("KESTI_TABLE_DIR", KESTI_DATA_DIR "/././././././././././././././././././././.", 1);
    void* library = dlopen(KESTI_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::printf("cannot load %s: %s\n", KESTI_SHARED_LIBRARY, dlerror());
        return 1;
    }
    const struct {
        const char* name;
        const char* expected;
    } functions[] = {{"ConvertWGToPinyin", "Mao Ze-dong, Bei-jing"}, {"ConvertWGToPinyinWord", "Mao Zedong, Beijing"}};
    int passed = 0, failed = 0;
    for (const auto& f : functions) {
        const auto fn = reinterpret_cast<ConvertFn>(dlsym(library, f.name));
        if (!fn) {
            std::printf("%s is not exported\n", f.name);
            return 1;
        }
        for (long n = 0; n <= 32; ++n) {
            char output[64] = {};
            std::int32_t result = 0;
            bool threw = false;
            made = 0;
            budget = n;
            try {
                result = fn("Mao Tse-tung, Pei-ching", output);
            } catch (...) {
                threw = true;
            }
            budget = -1;
            const bool ok = !threw && (result == 0 || std::strcmp(output, f.expected) == 0);
            if (ok) {
                ++passed;
            } else {
                ++failed;
                std::printf("%s with %ld allocations allowed: %s\n", f.name, n,
                            threw ? "an exception escaped" : output);
            }
        }
        std::printf("%s: %ld allocations through operator new per call\n", f.name, made.load());
    }
    dlclose(library);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
