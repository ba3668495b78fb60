// SPDX-License-Identifier: Apache-2.0
// The largest message this system's Unix sockets carry. A message travels
// as one buffer of the kernel, bounded by the send buffer the system allows
// (twice net.core.wmem_max: 416 KiB by default) and by the largest block it
// allocates at once (4 MiB and a few pages). Neither can be read directly,
// so the limit is measured by sending on a pair of sockets.
#pragma once

#include <cstdint>

namespace rdcsm {

// The limit, measured at the first call, at most most bytes, in whole KiB.
uint32_t MessageLimit();

// Measures the limit again, up to most bytes.
uint32_t MeasureMessageLimit(uint32_t most);

} // namespace rdcsm
