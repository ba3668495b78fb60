// SPDX-License-Identifier: Apache-2.0
// Room for the part of a message that does not fit the reader's buffer, so
// that a message is read in one scattered read without asking for its length
// first. Each reading thread reserves address space that is backed by memory
// only where a long message lands; a handle that keeps such a rest takes the
// room over, and the thread reserves a new one when it next reads.
#pragma once

#include <cstddef>

namespace rdplat::ipc {

// The room of one thread: no message is longer than a reader's buffer and
// this (a sender's buffer is far smaller).
constexpr size_t kSpareSize = size_t{64} << 20;

// The calling thread's room, reserved at its first use; null when the
// system has no address space to give.
char *ThreadSpare();

// Hands the calling thread's room over to the caller, who frees it with
// FreeSpare.
char *TakeThreadSpare();

void FreeSpare(char *spare);

} // namespace rdplat::ipc
