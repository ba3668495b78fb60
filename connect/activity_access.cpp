// SPDX-License-Identifier: Apache-2.0
// The activity's connector name and properties, read for connections.
#include "connect/activity_access.h"

#include "activity/property_lookup.h"
#include "activity/system_context.h"
#include "rdx_field.h"

namespace rdx {

std::string_view ActivityConnectorName() {
    const ActivityState &activity = Context()->activity;
    if (activity.connectorName == nullptr) return {};
    return {activity.connectorName, activity.connectorNameLength};
}

int32_t ActivityPropertyInt(uint32_t number) {
    uint32_t type = 0;
    void *value = nullptr;
    if (!FindStoredProperty(number, &type, &value)) return 0;
    if (type != RDTYPE_INT || value == nullptr) return 0;
    return *static_cast<const int32_t *>(value);
}

} // namespace rdx
