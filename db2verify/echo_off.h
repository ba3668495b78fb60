// SPDX-License-Identifier: Apache-2.0
// Turns terminal echo off for the life of a scope, e.g. while a password is typed.
#pragma once

#include <cstdio>
#include <termios.h>

namespace db2verify {

// Does nothing when the stream is not a terminal. While echo is off, an interrupt, quit,
// hang-up or termination signal first puts the terminal back, then takes its usual course.
class EchoOff {
  public:
    explicit EchoOff(std::FILE *in);
    ~EchoOff();
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

  private:
    bool active_ = false;
};

} // namespace db2verify
