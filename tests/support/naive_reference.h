// A deliberately naive conversion to test the real one against: split the
// file line by line, then at every letter try every record and keep the
// longest acceptable one (the later record among equal keys). Slow and
// obviously right; shared by the differential test and a fuzz target.
#pragma once

#include <string>
#include <vector>

namespace kesti::test {

struct NaiveRecord {
    std::string key, value;
};

// The records of a table file, in file order.
std::vector<NaiveRecord> NaiveSplit(std::string text);

// `in` converted with `records`.
std::string NaiveConvert(const std::vector<NaiveRecord>& records, const std::string& in);

}  // namespace kesti::test
