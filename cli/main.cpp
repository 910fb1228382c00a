#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/files.h"

int main(int argc, char** argv) {
    // Standard input and output through buffers that know why a read or a
    // write failed, so that the command can say so.
    kesti::DescriptorBuffer input(0), output(1);
    std::istream in(&input);
    std::ostream out(&output);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = kesti::RunKesti(args, in, out, std::cerr);
    out.flush();
    return status;
}
