// SPDX-License-Identifier: Apache-2.0
// RDActivitySetProperty, RDActivityGetProperty and RDActivityListProperty:
// numbered properties from the put-back, local and description sets, the
// server manager's fields and the environment.
#include "activity/property_lookup.h"
#include "activity/property_names.h"
#include "activity/property_value.h"
#include "activity/system_context.h"
#include "rdx_activity.h"
#include "rdx_csmgr.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

namespace rdx {

namespace {

constexpr uint32_t kPasswordProperty = 0x10004;
constexpr uint32_t kTextFormatProperty = 0x1000F;
constexpr uint32_t kNameProperty = 0x30004;
constexpr uint32_t kNoSuchServerField = 798;
constexpr uint32_t kListFirst = 1, kListNext = 2;

uint32_t OpenCheck() {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return CommandStatus();
}

uint32_t BlockHandle(const ActivityState &activity) {
    return activity.activityBlock != nullptr ? activity.activityBlock->handle : 0;
}

bool HasDescription(const ActivityState &activity) {
    return (activity.activityMode & kModeNoDescription) == 0;
}

// Replaces number's item of *target (created when missing) by field's value.
uint32_t StoreInSet(PropertySet **target, uint32_t number, uint32_t field) {
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (const uint32_t status = RDFieldGetBuffer(field, 1, &value, &indicator);
        status != RDSTATUS_OK)
        return status;
    if (*target == nullptr) {
        if (const uint32_t status = PropertySetCreate(target); status != RDSTATUS_OK) return status;
    } else {
        PropertySetRemove(*target, number);
    }
    if (*indicator != 0) return RDSTATUS_OK; // a null value leaves the property absent
    return PropertySetAdd(*target, number, RDFieldGetType(field), value);
}

uint32_t SetAdded(ActivityState &activity, uint32_t number, uint32_t field) {
    const AddedProperty *property = FindAddedProperty(number);
    if (property == nullptr) return RDSTATUS_BADPROPERTY;
    switch (property->kind) {
    case kAddedServerField:
        return CSMgrPutField(BlockHandle(activity), &property->name, field);
    case kAddedEnvironment:
        return PutEnvironmentProperty(*property, field);
    default:
        return StoreInSet(&activity.localSet, number, field);
    }
}

uint32_t GetAdded(const ActivityState &activity, uint32_t number, uint32_t field) {
    const AddedProperty *property = FindAddedProperty(number);
    if (property == nullptr) {
        RDFieldSetNull(field, 1, 1);
        return RDSTATUS_BADPROPERTY;
    }
    switch (property->kind) {
    case kAddedServerField: {
        if (!HasDescription(activity)) return RDSTATUS_NOCSMGRDESC;
        const uint32_t status = CSMgrGetField(BlockHandle(activity), &property->name, field);
        if (status != kNoSuchServerField) return status;
        RDFieldSetNull(field, 1, 1);
        return RDSTATUS_OK;
    }
    case kAddedEnvironment:
        return GetEnvironmentProperty(*property, field);
    default:
        return RDSTATUS_BADTYPE; // a local property without a value
    }
}

// The system's own properties; false when number is not one.
bool GetSystemProperty(const ActivityState &activity, uint32_t number, uint32_t field,
                       uint32_t *status) {
    if (number == kTextFormatProperty) {
        const auto format = static_cast<int32_t>(GetTextFormat());
        *status = RDFieldSetInt(field, 1, &format);
        return true;
    }
    if (number == kNameProperty) {
        *status = activity.activityName.data != nullptr
                      ? RDFieldSetStream(field, 1, &activity.activityName)
                      : RDFieldSetNull(field, 1, 1);
        return true;
    }
    return false;
}

// True for the numbers the system answers itself rather than the sets.
bool IsSystemProperty(uint32_t number) {
    return (number & 0x00FFFFFFu) == kPasswordProperty || number == kTextFormatProperty ||
           number == kNameProperty;
}

bool FindInSets(const ActivityState &activity, uint32_t number, uint32_t *type, void **value) {
    for (const PropertySet *set :
         {activity.putBackSet, activity.localSet, activity.descriptionSet}) {
        if (PropertySetFind(set, number, type, value) == RDSTATUS_OK) return true;
    }
    return false;
}

uint32_t GetProperty(uint32_t number, uint32_t field) {
    const ActivityState &activity = Context()->activity;
    if ((number & 0x00FFFFFFu) == kPasswordProperty)
        return RDActivityLogEx(RDSTATUS_BADPROPERTY, number, 0, 0, nullptr, nullptr, nullptr);
    if (uint32_t status = 0; GetSystemProperty(activity, number, field, &status)) return status;
    uint32_t type = 0;
    void *value = nullptr;
    if (FindInSets(activity, number, &type, &value)) return StoreItemInField(type, value, field);
    return GetAdded(activity, number, field);
}

// Fills the listing's outs from a declaration or an added property.
uint32_t ListOne(const IdentifyRecord *record, const PropertyDeclaration *declaration,
                 const AddedProperty *added, uint32_t *number, uint32_t *type, uint32_t *attributes,
                 RDStream *name) {
    if (number != nullptr) *number = declaration ? declaration->number : added->number;
    if (type != nullptr) *type = declaration ? declaration->type : added->kind;
    if (attributes != nullptr) *attributes = declaration ? declaration->attributes : 0;
    if (name == nullptr) return RDSTATUS_OK;
    if (added != nullptr) return RDStreamDataCopy(name, &added->name);
    uint32_t status = RDSTATUS_OK;
    DeclarationName(*record, *declaration, name, &status);
    return status;
}

} // namespace

bool FindStoredProperty(uint32_t number, uint32_t *type, void **value) {
    return !IsSystemProperty(number) && FindInSets(Context()->activity, number, type, value);
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDActivitySetProperty(uint32_t number, uint32_t field) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (field == 0) return RDSTATUS_NOFIELD;
    ActivityState &activity = Context()->activity;
    if (HasDescription(activity) && FindDeclaration(activity.identifyRecord, number) != nullptr)
        return StoreInSet(&activity.putBackSet, number, field);
    return SetAdded(activity, number, field);
}

extern "C" RD_EXPORT uint32_t RDActivityGetProperty(uint32_t number, uint32_t field) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (field == 0) return RDSTATUS_NOFIELD;
    return GetProperty(number, field);
}

extern "C" RD_EXPORT uint32_t RDActivityListProperty(uint32_t mode, uint32_t *number,
                                                     uint32_t *type, uint32_t *attributes,
                                                     RDStream *name) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    ActivityState &activity = Context()->activity;
    if (mode == kListFirst) {
        activity.listIndex = 0;
        activity.listNode = activity.addedProperties;
    } else if (mode != kListNext) {
        return RDSTATUS_BADMODE;
    }
    const PropertyDeclaration *declaration = nullptr;
    if (activity.listIndex >= 0) {
        declaration =
            DeclarationAt(activity.identifyRecord, static_cast<uint32_t>(activity.listIndex));
        activity.listIndex = declaration != nullptr ? activity.listIndex + 1 : -1;
    }
    const AddedProperty *added = nullptr;
    if (declaration == nullptr && activity.listIndex == -1 && activity.listNode != nullptr) {
        added = activity.listNode;
        activity.listNode = added->next;
    }
    if (declaration == nullptr && added == nullptr) {
        if (number != nullptr) *number = 0;
        if (type != nullptr) *type = 0;
        if (attributes != nullptr) *attributes = 0;
        if (name != nullptr) RDStreamDataFree(name);
        return RDSTATUS_NOENTRY;
    }
    return ListOne(activity.identifyRecord, declaration, added, number, type, attributes, name);
}
