// SPDX-License-Identifier: Apache-2.0
// Splitting a command line into the words of a program's argument vector.
#pragma once

#include "rdplat_proc.h"

namespace rdplat {

// The words of a command line of at most RDPROC_COMMAND_MAX characters. Words
// without their quotes need at most as many bytes as the line and its NUL;
// the shortest words ("a a ...") make at most half the line's length plus one.
struct CommandWords {
    static constexpr int kTextSize = RDPROC_COMMAND_MAX + 1;
    static constexpr int kMaxWords = kTextSize / 2;
    char text[kTextSize];
    char *argv[kMaxWords + 1]; // ended by a null pointer
    int count;
};

// Splits line at blanks and tabs; a double quote starts or ends a group in
// which blanks belong to the word, and is itself dropped ("" is an empty
// word). False for a null or over-long line or one without any word.
bool SplitCommandLine(const char *line, CommandWords &words);

} // namespace rdplat
