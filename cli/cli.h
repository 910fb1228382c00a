// The kesti command: its whole run (options, inputs, outputs, reports), kept apart
// from main() so that tests can run it with their own streams.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kesti {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a table or a file cannot be read or written
inline constexpr int kExitUsage = 2;    // a usage error

// Runs the command with `args` (without the program name). Standard input
// and output are `in` and `out`; messages go to `err` as "kesti: ...".
int RunKesti(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kesti
