// A unified diff of a file and its conversion, for --diff: the file names
// as a/NAME and b/NAME, so that patch -p1 applies it; three lines of
// context. A conversion never adds or removes a line break (no table value
// holds one), so line N of the conversion is the conversion of line N of
// the file: the lines are paired as they come, and memory holds only a
// hunk and its context, whatever the file's size.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kesti {

struct LineDiff {
    LineDiff(std::ostream& out, std::string name);

    // Bytes of the file, and of its conversion, as they come.
    void Old(std::string_view bytes);
    void New(std::string_view bytes);
    // After both are whole: the last hunk. Whether anything differed.
    bool Finish();

    std::ostream& out;
    std::string name;

private:
    static constexpr std::size_t kContext = 3;
    void Split(std::string_view bytes, std::string& partial, std::deque<std::string>& lines);
    void Pair();
    void Flush();

    std::string oldPartial, newPartial;
    std::deque<std::string> oldLines, newLines;             // whole lines (with their break) not yet paired
    std::deque<std::string> before;                         // the last unchanged lines, for a hunk's leading context
    std::vector<std::pair<std::string, std::string>> hunk;  // paired lines from the first change
    std::size_t trailing = 0;                               // unchanged lines at the hunk's end
    std::uint64_t paired = 0;                               // lines paired so far
    std::uint64_t hunkStart = 0;                            // the 1-based line the hunk begins at
    bool changed = false, headerWritten = false;
};

}  // namespace kesti
