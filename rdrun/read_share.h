// SPDX-License-Identifier: Apache-2.0
// How much of its source file a copy running in this process has read: the
// one regular file open read-only whose offset has moved, its offset against
// its size, from /proc/self/fdinfo. This needs nothing of the activity (whose
// functions other threads may not call while it runs) and nothing of the
// statistics record, whose layout clients read. A source that reads at
// offsets of its own (a database) leaves its offset at 0 and has no share.
#pragma once

#include <cstdint>
#include <optional>

namespace rdrun {

// The share read, from 0 to 1; none when no file, or more than one, fits.
std::optional<double> SourceShareRead();

} // namespace rdrun
