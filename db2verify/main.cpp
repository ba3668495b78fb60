// SPDX-License-Identifier: Apache-2.0
// db2verify: checks interactively that a database can be reached with a given name, user and
// password. It always ends with status 0. The only option, --help, prints the usage and exits
// without starting the dialogue; any other argument is ignored.
#include "dialogue.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kUsage =
    "Usage: db2verify\n"
    "       db2verify --help\n"
    "\n"
    "Asks for a database (data source) name, a user name and a password, opens and\n"
    "closes one connection through the CLI library and says whether that worked.\n"
    "Enter keeps the value shown in brackets; answer y to \"Try Again? [N]\" for\n"
    "another round. The exit status is always 0. See db2verify(1).\n";

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    db2verify::RunDialogue(stdin, stdout);
    return 0;
}
