// The connection layer's part of an activity's end. Connections and links
// are not built yet: there is nothing to free and nothing was counted.
#include "connect/connect_term.h"

#include <cstring>

namespace rdx {

void ConnectTermAll() {}

void ConnectTakeStatistics(uint32_t record[kStatisticsWords]) {
    std::memset(record, 0, kStatisticsWords * sizeof(uint32_t));
}

const IdentifyRecord *ConnectionIdentify(const ConnectionRecord *) {
    return nullptr;
}

} // namespace rdx
