// SPDX-License-Identifier: Apache-2.0
// Output of the command-line tool that never claims a success it did not
// have: the standard output checked up to its close, and files written
// whole or not at all.
#pragma once

#include <string>
#include <string_view>

namespace rdcsm {

// Puts /dev/null, opened for reading only, on each of the descriptors 0-2
// that is closed: no file the tool opens can take their place, and writes
// to a closed standard output fail as they should. Gives std::cout a buffer
// that writes through WriteStandardOutput.
void GuardStandardStreams();

// Writes text to the standard output (through stdio); false when a write
// failed, whose reason FinishStandardOutput then tells.
bool WriteStandardOutput(std::string_view text);

// Flushes and closes the standard output; false, with a message on the
// standard error, when anything written to it was lost.
bool FinishStandardOutput();

// Writes text as the file at path. A regular file (or a new one, or the
// file a symbolic link names) is replaced only once the new one is whole: a
// temporary file of mode 0600 in the same folder, written, synced and
// renamed over it. A device or a pipe is written directly. False with error
// (the path and the reason) on any failure, leaving an old file as it was.
bool WriteWholeFile(const std::string &path, std::string_view text, std::string &error);

} // namespace rdcsm
