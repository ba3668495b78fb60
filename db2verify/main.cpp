// db2verify: checks interactively that a database can be reached with a given name, user and
// password. It takes no arguments and always ends with status 0.
#include "dialogue.h"

#include <cstdio>

int main() {
    db2verify::RunDialogue(stdin, stdout);
    return 0;
}
