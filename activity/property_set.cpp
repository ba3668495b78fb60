// SPDX-License-Identifier: Apache-2.0
// Property sets: add, find, remove and walk items of a growable array.
#include "activity/property_set.h"

#include "rdplat_mem.h"
#include "rdx_datetime.h"
#include "rdx_numeric.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <cstring>
#include <limits>

namespace rdx {

namespace {

constexpr uint32_t kInitialCapacity = 20;

bool IsStream(uint32_t type) {
    return type == 6 || type == 7;
}

// The capacity after a full array: doubled up to 100 slots, then 100 more.
uint32_t GrownCapacity(uint32_t capacity) {
    return capacity <= 100 ? capacity * 2 : capacity + 100;
}

void ReleaseValue(const PropertyItem &item) {
    if (item.value != nullptr && IsStream(item.type))
        RDStreamDataFree(static_cast<RDStream *>(item.value));
    RDMemFree(item.value);
}

// The position of the first item matching number, or count when none does.
uint32_t FirstMatch(const PropertySet &set, uint32_t number) {
    uint32_t i = 0;
    while (i < set.count && !PropertyNumberMatches(set.items[i].number, number))
        ++i;
    return i;
}

// A fresh copy of a value of the type: 0 and *copy, or 258.
uint32_t CopyValue(uint32_t type, const void *value, void **copy) {
    *copy = nullptr;
    if (value == nullptr) return RDSTATUS_OK;
    void *area = RDMemCalloc(static_cast<int32_t>(PropertyValueSize(type)));
    if (area == nullptr) return RDSTATUS_NOMEMORY;
    if (IsStream(type)) {
        const uint32_t status =
            RDStreamDataCopy(static_cast<RDStream *>(area), static_cast<const RDStream *>(value));
        if (status != RDSTATUS_OK) {
            RDStreamDataFree(static_cast<RDStream *>(area));
            RDMemFree(area);
            return status;
        }
    } else {
        std::memcpy(area, value, PropertyValueSize(type));
    }
    *copy = area;
    return RDSTATUS_OK;
}

// Room for one more item: 0 or 258 (the set unchanged).
uint32_t MakeRoom(PropertySet &set) {
    if (set.count < set.capacity) return RDSTATUS_OK;
    const uint32_t capacity = GrownCapacity(set.capacity);
    constexpr uint32_t kMaxSlots = std::numeric_limits<int32_t>::max() / sizeof(PropertyItem);
    if (capacity > kMaxSlots) return RDSTATUS_NOMEMORY;
    auto *items = static_cast<PropertyItem *>(RDMemRealloc(
        set.items, set.capacity * sizeof(PropertyItem), capacity * sizeof(PropertyItem)));
    if (items == nullptr) return RDSTATUS_NOMEMORY;
    std::memset(items + set.capacity, 0, (capacity - set.capacity) * sizeof(PropertyItem));
    set.items = items;
    set.capacity = capacity;
    return RDSTATUS_OK;
}

} // namespace

uint32_t PropertyValueSize(uint32_t type) {
    switch (type) {
    case 1:
        return sizeof(int32_t);
    case 2:
        return sizeof(double);
    case 3:
        return sizeof(int64_t);
    case 4:
        return sizeof(RDNumeric);
    case 5:
        return sizeof(RDDatetime);
    case 6:
    case 7:
        return sizeof(RDStream);
    default:
        return 0;
    }
}

uint32_t PropertySetCreate(PropertySet **out) {
    if (out == nullptr) return RDSTATUS_NULLARG2;
    *out = nullptr;
    auto *set = static_cast<PropertySet *>(RDMemCalloc(sizeof(PropertySet)));
    if (set == nullptr) return RDSTATUS_NOMEMORY;
    set->items = static_cast<PropertyItem *>(RDMemCalloc(kInitialCapacity * sizeof(PropertyItem)));
    if (set->items == nullptr) {
        RDMemFree(set);
        return RDSTATUS_NOMEMORY;
    }
    set->capacity = kInitialCapacity;
    *out = set;
    return RDSTATUS_OK;
}

uint32_t PropertySetFind(const PropertySet *set, uint32_t number, uint32_t *type, void **value) {
    if (type != nullptr) *type = 0;
    if (value != nullptr) *value = nullptr;
    if (set == nullptr) return RDSTATUS_BADPROPERTY;
    const uint32_t i = FirstMatch(*set, number);
    if (i == set->count) return RDSTATUS_BADPROPERTY;
    if (type != nullptr) *type = set->items[i].type;
    if (value != nullptr) *value = set->items[i].value;
    return RDSTATUS_OK;
}

uint32_t PropertySetAdd(PropertySet *set, uint32_t number, uint32_t type, const void *value) {
    if (set == nullptr) return RDSTATUS_BADPROPERTY;
    if (PropertyValueSize(type) == 0) return RDSTATUS_BADTYPE;
    void *copy = nullptr;
    uint32_t status = CopyValue(type, value, &copy);
    if (status == RDSTATUS_OK) status = MakeRoom(*set);
    if (status != RDSTATUS_OK) {
        ReleaseValue(PropertyItem{number, type, copy});
        return status;
    }
    set->items[set->count++] = PropertyItem{number, type, copy};
    return RDSTATUS_OK;
}

uint32_t PropertySetRemove(PropertySet *set, uint32_t number) {
    if (set == nullptr) return RDSTATUS_BADPROPERTY;
    const uint32_t i = FirstMatch(*set, number);
    if (i == set->count) return RDSTATUS_BADPROPERTY;
    const PropertyItem removed = set->items[i];
    std::memmove(set->items + i, set->items + i + 1, (set->count - i - 1) * sizeof(PropertyItem));
    set->items[--set->count] = PropertyItem{};
    if (set->cursor > i) --set->cursor;
    ReleaseValue(removed);
    return RDSTATUS_OK;
}

void PropertySetFree(PropertySet *set) {
    if (set == nullptr) return;
    for (uint32_t i = 0; i < set->count; ++i)
        ReleaseValue(set->items[i]);
    RDMemFree(set->items);
    RDMemFree(set);
}

uint32_t PropertySetCount(const PropertySet *set) {
    return set == nullptr ? 0 : set->count;
}

uint32_t PropertySetWalk(PropertySet *set, bool restart, uint32_t *number, uint32_t *type,
                         void **value) {
    if (set == nullptr) return RDSTATUS_NOENTRY;
    if (restart) set->cursor = 0;
    if (set->cursor >= set->count) return RDSTATUS_NOENTRY;
    const PropertyItem &item = set->items[set->cursor++];
    if (number != nullptr) *number = item.number;
    if (type != nullptr) *type = item.type;
    if (value != nullptr) *value = item.value;
    return RDSTATUS_OK;
}

int32_t PropertySetReadInt(const PropertySet *set, uint32_t number) {
    uint32_t type = 0;
    void *value = nullptr;
    if (PropertySetFind(set, number, &type, &value) != RDSTATUS_OK) return 0;
    if (type != 1 || value == nullptr) return 0;
    int32_t stored;
    std::memcpy(&stored, value, sizeof stored);
    return stored;
}

uint32_t PropertySetReadFlag(const PropertySet *set, uint32_t number, uint32_t fallback) {
    uint32_t type = 0;
    void *value = nullptr;
    if (PropertySetFind(set, number, &type, &value) != RDSTATUS_OK) return fallback;
    if (type != 1 || value == nullptr) return fallback;
    return PropertySetReadInt(set, number) != 0 ? 1 : 0;
}

} // namespace rdx
