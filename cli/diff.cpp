#include "cli/diff.h"

namespace kesti {

LineDiff::LineDiff(std::ostream& out, std::string name) : out(out), name(std::move(name)) {}

void LineDiff::Split(std::string_view bytes, std::string& partial, std::deque<std::string>& lines) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial.append(bytes);
            return;
        }
        partial.append(bytes.substr(0, end + 1));
        lines.push_back(std::move(partial));
        partial.clear();
        bytes.remove_prefix(end + 1);
    }
}

void LineDiff::Old(std::string_view bytes) {
    Split(bytes, oldPartial, oldLines);
    Pair();
}

void LineDiff::New(std::string_view bytes) {
    Split(bytes, newPartial, newLines);
    Pair();
}

void LineDiff::Pair() {
    while (!oldLines.empty() && !newLines.empty()) {
        std::string a = std::move(oldLines.front()), b = std::move(newLines.front());
        oldLines.pop_front();
        newLines.pop_front();
        ++paired;
        const bool same = a == b;
        if (hunk.empty()) {
            if (same) {
                before.push_back(std::move(a));
                if (before.size() > kContext) before.pop_front();
                continue;
            }
            hunkStart = paired - before.size();
            for (std::string& line : before) hunk.emplace_back(line, line);
            before.clear();
        }
        trailing = same ? trailing + 1 : 0;
        hunk.emplace_back(std::move(a), std::move(b));
        // Past twice the context unchanged, the hunk is done: what follows
        // belongs to the next one.
        if (trailing == 2 * kContext + 1) {
            std::vector<std::pair<std::string, std::string>> rest(hunk.end() - static_cast<long>(kContext + 1),
                                                                  hunk.end());
            hunk.resize(hunk.size() - kContext - 1);
            trailing = kContext;
            Flush();
            for (auto& [line, unused] : rest) before.push_back(std::move(line));
            while (before.size() > kContext) before.pop_front();
        }
    }
}

void LineDiff::Flush() {
    if (hunk.empty()) return;
    if (!headerWritten) {
        out << "--- a/" << name << "\n+++ b/" << name << "\n";
        headerWritten = true;
    }
    changed = true;
    const std::size_t count = hunk.size();
    out << "@@ -" << hunkStart << ',' << count << " +" << hunkStart << ',' << count << " @@\n";
    auto line = [&](char mark, const std::string& text) {
        out << mark << text;
        if (text.empty() || text.back() != '\n') out << "\n\\ No newline at end of file\n";
    };
    for (std::size_t k = 0; k < count;) {
        if (hunk[k].first == hunk[k].second) {
            line(' ', hunk[k].first);
            ++k;
            continue;
        }
        // A run of changed lines: the old ones, then the new ones.
        std::size_t end = k;
        while (end < count && hunk[end].first != hunk[end].second) ++end;
        for (std::size_t m = k; m < end; ++m) line('-', hunk[m].first);
        for (std::size_t m = k; m < end; ++m) line('+', hunk[m].second);
        k = end;
    }
    hunk.clear();
    trailing = 0;
}

bool LineDiff::Finish() {
    // A last line without a break pairs with the other's.
    if (!oldPartial.empty() || !newPartial.empty()) {
        oldLines.push_back(std::move(oldPartial));
        newLines.push_back(std::move(newPartial));
    }
    // Both sides have as many lines; were they ever not to, the rest of the
    // longer one is shown against nothing rather than lost.
    while (oldLines.size() < newLines.size()) oldLines.emplace_back();
    while (newLines.size() < oldLines.size()) newLines.emplace_back();
    Pair();
    // Trailing context beyond three lines is dropped.
    if (trailing > kContext) hunk.resize(hunk.size() - (trailing - kContext));
    Flush();
    return changed;
}

}  // namespace kesti
