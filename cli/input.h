// An input as the command reads it: a stream buffer over another that
// counts the bytes read, keeps the first of them (to tell a Windows-1252
// file from broken UTF-8), hands them to a diff, and shows progress on a
// terminal: bytes done, MB/s and time left, on one line of standard error
// cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace kesti {

// Whether standard error is a terminal a progress line may be drawn on.
bool ErrorIsTerminal();

struct InputTap : std::streambuf {
    // `source` is read through; `size` is the input's size when known (0
    // otherwise); `progress` says whether to draw the progress line.
    InputTap(std::streambuf& source, std::string name, std::uint64_t size, bool progress);
    ~InputTap() override;

    std::function<void(std::string_view)> tee;  // receives every byte read, when set
    std::uint64_t read = 0;
    std::string first;  // the first bytes read, up to kSample
    static constexpr std::size_t kSample = 1 << 20;

    // Clears the progress line.
    void Done();

protected:
    int_type underflow() override;

private:
    void Draw(bool force);
    std::streambuf& source;
    std::string name;
    std::uint64_t size;
    bool progress, drawn = false;
    char buffer[64 * 1024];
    std::chrono::steady_clock::time_point started, lastDrawn;
};

}  // namespace kesti
