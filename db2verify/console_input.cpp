// SPDX-License-Identifier: Apache-2.0
#include "console_input.h"

#include "echo_off.h"

namespace db2verify {

void ConsoleInput::ReadLine(std::span<char> answer) {
    if (answer.empty()) return;
    std::size_t length = 0;
    bool cut = false;
    int c = 0;
    while (!ended_ && (c = std::getc(in_)) != '\n') {
        if (c == EOF) {
            ended_ = true;
        } else if (length + 1 < answer.size()) {
            answer[length++] = static_cast<char>(c);
        } else {
            cut = true;
        }
    }
    // A carriage return is part of the line end only when it closes the line.
    if (!cut && length > 0 && answer[length - 1] == '\r') --length;
    answer[length] = '\0';
}

void ConsoleInput::ReadSecretLine(std::FILE *out, const char *prompt, std::span<char> answer) {
    EchoOff guard(in_);
    std::fputs(prompt, out);
    std::fflush(out);
    ReadLine(answer);
}

} // namespace db2verify
