// SPDX-License-Identifier: Apache-2.0
// rdx: one command for a data transfer.
#include "copy_command.h"
#include "usage.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(rdx::kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("rdx %s\n", RDX_VERSION);
        return 0;
    }
    if (command == "copy") return rdx::RunCopy(std::vector<std::string>(argv + 2, argv + argc));
    if (!command.empty()) std::fprintf(stderr, "rdx: unknown command %s\n", command.c_str());
    std::fputs(rdx::kUsage, stderr);
    return 64;
}
