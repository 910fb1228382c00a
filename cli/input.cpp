#include "cli/input.h"

#include <unistd.h>

#include <cstdio>

namespace kesti {

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

InputTap::InputTap(std::streambuf& source, std::string name, std::uint64_t size, bool progress)
    : source(source),
      name(std::move(name)),
      size(size),
      progress(progress),
      started(std::chrono::steady_clock::now()),
      lastDrawn(started) {}

InputTap::~InputTap() { Done(); }

InputTap::int_type InputTap::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::streamsize got = source.sgetn(buffer, sizeof buffer);
    if (got <= 0) return traits_type::eof();
    const std::string_view bytes(buffer, static_cast<std::size_t>(got));
    read += bytes.size();
    if (first.size() < kSample) first.append(bytes.substr(0, kSample - first.size()));
    if (tee) tee(bytes);
    if (progress) Draw(false);
    setg(buffer, buffer, buffer + got);
    return traits_type::to_int_type(*gptr());
}

void InputTap::Draw(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn && now - lastDrawn < std::chrono::milliseconds(250)) return;
    lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - started).count();
    const double megabytes = static_cast<double>(read) / 1e6;
    const double rate = seconds > 0 ? megabytes / seconds : 0;
    char line[256];
    if (size > 0) {
        const double left = rate > 0 ? (static_cast<double>(size) / 1e6 - megabytes) / rate : 0;
        std::snprintf(line, sizeof line, "\rkesti: %s: %.0f of %.0f MB, %.0f MB/s, %.0f s left\033[K", name.c_str(),
                      megabytes, static_cast<double>(size) / 1e6, rate, left > 0 ? left : 0);
    } else {
        std::snprintf(line, sizeof line, "\rkesti: %s: %.0f MB, %.0f MB/s\033[K", name.c_str(), megabytes, rate);
    }
    std::fputs(line, stderr);
    std::fflush(stderr);
    drawn = true;
}

void InputTap::Done() {
    if (!drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn = false;
}

}  // namespace kesti
