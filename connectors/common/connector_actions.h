// Action codes that this project's connectors and activities share.
#pragma once

#include <cstdint>

namespace rdxc {

// Discard what the connection holds that is not committed yet (records
// sent into a transaction that ends at the disconnect). An activity whose
// copy failed asks it of its target before the connection ends, so that a
// failed copy commits nothing. Connectors that commit every call have
// nothing to discard and succeed. The code spells "ROLL".
inline constexpr uint32_t kActionRollback = 0x524F4C4C;

} // namespace rdxc
