// SPDX-License-Identifier: Apache-2.0
// RDActivityAddProperty and the chain of added properties.
#include "activity/activity_lifecycle.h"
#include "activity/property_names.h"
#include "activity/system_context.h"
#include "rdplat_mem.h"
#include "rdx_activity.h"
#include "rdx_status.h"

namespace rdx {

namespace {

constexpr uint32_t kLastAddedNumber = 0xFFFF;

// The added property of kind whose name equals name regardless of case.
const AddedProperty *FindByName(const RDStream *name, uint32_t kind) {
    for (const AddedProperty *p = Context()->activity.addedProperties; p != nullptr; p = p->next) {
        int32_t order = 1;
        if (p->kind == kind && RDStreamDataCompare(&p->name, name, &order) == RDSTATUS_OK &&
            order == 0)
            return p;
    }
    return nullptr;
}

// One above the highest declared number without bit 16, or 1.
uint32_t FirstAddedNumber(const IdentifyRecord *record) {
    uint32_t highest = 0;
    for (uint32_t i = 0;; ++i) {
        const PropertyDeclaration *declaration = DeclarationAt(record, i);
        if (declaration == nullptr) break;
        if ((declaration->number & kBuiltInNameBit) == 0 && declaration->number > highest)
            highest = declaration->number;
    }
    return highest + 1;
}

// A new record named name; null with *status set on failure.
AddedProperty *MakeRecord(const RDStream *name, uint32_t *status) {
    auto *record = static_cast<AddedProperty *>(RDMemCalloc(sizeof(AddedProperty)));
    if (record == nullptr) {
        *status = RDSTATUS_NOMEMORY;
        return nullptr;
    }
    *status = RDStreamCreate(&record->name, 0, RDSTREAM_NOCASE, RDCHARSET_INTERCHANGE);
    if (*status == RDSTATUS_OK)
        *status = RDStreamDataConvert(&record->name, name, RDCONVERT_KEEPFORMAT,
                                      RDCHARSET_INTERCHANGE, nullptr, nullptr);
    if (*status == RDSTATUS_OK) return record;
    RDStreamDataFree(&record->name);
    RDMemFree(record);
    return nullptr;
}

uint32_t Add(const RDStream *name, uint32_t kind, uint32_t *number) {
    ActivityState &activity = Context()->activity;
    if (const AddedProperty *found = FindByName(name, kind); found != nullptr) {
        *number = found->number;
        return RDSTATUS_OK;
    }
    if (activity.nextPropertyNumber == 0)
        activity.nextPropertyNumber = FirstAddedNumber(activity.identifyRecord);
    if (activity.nextPropertyNumber > kLastAddedNumber) return RDSTATUS_BADPROPERTY;
    uint32_t status = RDSTATUS_OK;
    AddedProperty *record = MakeRecord(name, &status);
    if (record == nullptr) return status;
    record->number = activity.nextPropertyNumber++;
    record->kind = kind;
    record->next = activity.addedProperties;
    activity.addedProperties = record;
    *number = record->number;
    return RDSTATUS_OK;
}

} // namespace

void FreeAddedProperties() {
    ActivityState &activity = Context()->activity;
    for (AddedProperty *p = activity.addedProperties; p != nullptr;) {
        AddedProperty *next = p->next;
        RDStreamDataFree(&p->name);
        RDMemFree(p);
        p = next;
    }
    activity.addedProperties = nullptr;
    activity.listIndex = 0;
    activity.listNode = nullptr;
    activity.nextPropertyNumber = 0;
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDActivityAddProperty(const RDStream *name, uint32_t kind,
                                                    uint32_t *number) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (const uint32_t status = CommandStatus(); status != RDSTATUS_OK) return status;
    if (number == nullptr) return RDSTATUS_NULLARG2;
    *number = 0;
    if (name == nullptr) return RDSTATUS_BADPROPERTY;
    if (kind < kAddedServerField || kind > kAddedEnvironment) return RDSTATUS_BADPROPERTY;
    if (kind == kAddedServerField && (Context()->activity.activityMode & kModeNoDescription) != 0)
        return RDSTATUS_NOCSMGRDESC;
    return Add(name, kind, number);
}
