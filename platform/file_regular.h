// SPDX-License-Identifier: Apache-2.0
// Opening files that the platform reads whole (configuration files, the
// registry): only regular files, and never blocking on the way.
#pragma once

namespace rdplat {

// Opens path for reading, blocking, when it names a regular file (links
// followed). A FIFO or device is never waited for: the open does not block
// and the file is refused. Returns the descriptor, or -1 with errno set
// (ENOENT when nothing is there, EINVAL for a file that is not regular).
int OpenRegularForReading(const char *path);

} // namespace rdplat
