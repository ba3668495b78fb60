// The activity's connector name and properties, read for connections.
#include "connect/activity_access.h"

#include "activity/system_context.h"
#include "rdx_field.h"

namespace rdx {

std::string_view ActivityConnectorName() {
    return {};
}

int32_t ActivityPropertyInt(uint32_t number) {
    const ActivityState &activity = Context()->activity;
    for (const PropertySet *set :
         {activity.putBackSet, activity.localSet, activity.descriptionSet}) {
        uint32_t type = 0;
        void *value = nullptr;
        if (PropertySetFind(set, number, &type, &value) != 0) continue;
        if (type != RDTYPE_INT || value == nullptr) return 0;
        return *static_cast<const int32_t *>(value);
    }
    return 0;
}

} // namespace rdx
