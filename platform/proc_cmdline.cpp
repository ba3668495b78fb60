// SPDX-License-Identifier: Apache-2.0
// Command-line words: blanks separate, double quotes group.
#include "proc_cmdline.h"

#include <cstring>

namespace rdplat {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool SplitCommandLine(const char *line, CommandWords &words) {
    words.count = 0;
    if (line == nullptr || strnlen(line, CommandWords::kTextSize) >= CommandWords::kTextSize)
        return false;
    char *out = words.text;
    const char *in = line;
    for (;;) {
        while (IsBlank(*in))
            ++in;
        if (*in == '\0') break;
        words.argv[words.count++] = out;
        bool quoted = false;
        for (; *in != '\0' && (quoted || !IsBlank(*in)); ++in) {
            if (*in == '"')
                quoted = !quoted;
            else
                *out++ = *in;
        }
        *out++ = '\0';
    }
    words.argv[words.count] = nullptr;
    return words.count > 0;
}

} // namespace rdplat
