// SPDX-License-Identifier: Apache-2.0
// Line-by-line answers from the operator.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>

namespace db2verify {

// Reads answers from one input stream. Once the input has ended every later answer is empty,
// so no prompt waits again on a closed input.
class ConsoleInput {
  public:
    explicit ConsoleInput(std::FILE *in) : in_(in) {}

    // Reads one line into answer as a terminated text. A line longer than answer can hold is
    // cut, and the rest of it is consumed so that the next prompt does not read it. The line
    // end (a line feed, with or without a carriage return before it) is not kept. At the end
    // of the input the answer is empty.
    void ReadLine(std::span<char> answer);

    // As ReadLine, but when the input is a terminal the typed characters are not echoed.
    // The prompt is written (and flushed to out) only after echo is off, so nothing typed
    // early is shown.
    void ReadSecretLine(std::FILE *out, const char *prompt, std::span<char> answer);

    bool Ended() const { return ended_; }

  private:
    std::FILE *in_;
    bool ended_ = false;
};

} // namespace db2verify
