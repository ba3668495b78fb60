// SPDX-License-Identifier: Apache-2.0
// Number and datetime lists: counts, sizes and their values and ranges.
// Both share one layout of 8-byte items; only the kind, the statuses and
// the item type differ.
#include "fields/value_list_image.h"
#include "rdx_status.h"
#include "rdx_valuelist.h"

#include <cstring>

using namespace rdx;
using namespace rdx::lists;

namespace {

struct ListSort {
    uint32_t kind;
    uint32_t notList;    // null stream or another kind
    uint32_t nullOutput; // a missing output
};

constexpr ListSort kNumbers{RDKIND_NUMBERLIST, RDSTATUS_NOTNUMBERLIST, RDSTATUS_NOFLOAT};
constexpr ListSort kDatetimes{RDKIND_DATETIMELIST, RDSTATUS_NOTDATETIMELIST, RDSTATUS_NODATETIME};

// Items are copied byte-wise: they need not be aligned in the image.
template <typename T> void Load(const uint8_t *item, T *out) {
    static_assert(sizeof(T) == kItemSize);
    std::memcpy(out, item, kItemSize);
}

void GetCount(const ListSort &sort, const RDStream *list, uint32_t *values, uint32_t *ranges) {
    ValueListImage image{};
    if (!ReadValueList(list, sort.kind, &image)) image.count = image.rangeCount = 0;
    if (values != nullptr) *values = image.count;
    if (ranges != nullptr) *ranges = image.rangeCount;
}

uint32_t GetLength(const ListSort &sort, const RDStream *list) {
    ValueListImage image;
    return ReadValueList(list, sort.kind, &image) ? image.size : 0;
}

template <typename T> uint32_t GetFirst(const ListSort &sort, const RDStream *list, T *out) {
    if (list == nullptr) return sort.notList;
    if (out == nullptr) return sort.nullOutput;
    ValueListImage image;
    if (!ReadValueList(list, sort.kind, &image)) return sort.notList;
    if (image.count == 0 && image.rangeCount == 0) return RDSTATUS_BEYONDEND;
    // The first single value, or the low end of the first range.
    Load(image.values, out);
    return RDSTATUS_OK;
}

template <typename T>
uint32_t GetValue(const ListSort &sort, const RDStream *list, uint32_t index, T *out) {
    if (list == nullptr) return sort.notList;
    if (out == nullptr) return sort.nullOutput;
    if (index == 0) return RDSTATUS_INDEXZERO;
    ValueListImage image;
    if (!ReadValueList(list, sort.kind, &image)) return sort.notList;
    if (index > image.count) return RDSTATUS_BEYONDEND;
    Load(image.values + kItemSize * (index - 1), out);
    return RDSTATUS_OK;
}

template <typename T>
uint32_t GetRange(const ListSort &sort, const RDStream *list, uint32_t index, T *low, T *high) {
    if (list == nullptr) return sort.notList;
    if (low == nullptr || high == nullptr) return sort.nullOutput;
    if (index == 0) return RDSTATUS_INDEXZERO;
    ValueListImage image;
    if (!ReadValueList(list, sort.kind, &image)) return sort.notList;
    if (index > image.rangeCount) return RDSTATUS_BEYONDEND;
    const uint8_t *pair = image.ranges + 2 * kItemSize * (index - 1);
    Load(pair, low);
    Load(pair + kItemSize, high);
    return RDSTATUS_OK;
}

} // namespace

// The reading functions RD<Prefix>ListGet... of a list of kind whose values
// are of type Value.
#define RD_LIST_READERS(Prefix, kind, Value)                                                       \
    extern "C" RD_EXPORT void RD##Prefix##ListGetCount(const RDStream *list, uint32_t *values,     \
                                                       uint32_t *ranges) {                         \
        GetCount(kind, list, values, ranges);                                                      \
    }                                                                                              \
    extern "C" RD_EXPORT uint32_t RD##Prefix##ListGetLength(const RDStream *list) {                \
        return GetLength(kind, list);                                                              \
    }                                                                                              \
    extern "C" RD_EXPORT uint32_t RD##Prefix##ListGetFirst(const RDStream *list, Value *value) {   \
        return GetFirst(kind, list, value);                                                        \
    }                                                                                              \
    extern "C" RD_EXPORT uint32_t RD##Prefix##ListGetValue(const RDStream *list, uint32_t index,   \
                                                           Value *value) {                         \
        return GetValue(kind, list, index, value);                                                 \
    }                                                                                              \
    extern "C" RD_EXPORT uint32_t RD##Prefix##ListGetRange(const RDStream *list, uint32_t index,   \
                                                           Value *low, Value *high) {              \
        return GetRange(kind, list, index, low, high);                                             \
    }

RD_LIST_READERS(Number, kNumbers, double)
RD_LIST_READERS(Datetime, kDatetimes, RDDatetime)
