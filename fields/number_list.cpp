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

extern "C" RD_EXPORT void RDNumberListGetCount(const RDStream *list, uint32_t *values,
                                               uint32_t *ranges) {
    GetCount(kNumbers, list, values, ranges);
}

extern "C" RD_EXPORT uint32_t RDNumberListGetLength(const RDStream *list) {
    return GetLength(kNumbers, list);
}

extern "C" RD_EXPORT uint32_t RDNumberListGetFirst(const RDStream *list, double *value) {
    return GetFirst(kNumbers, list, value);
}

extern "C" RD_EXPORT uint32_t RDNumberListGetValue(const RDStream *list, uint32_t index,
                                                   double *value) {
    return GetValue(kNumbers, list, index, value);
}

extern "C" RD_EXPORT uint32_t RDNumberListGetRange(const RDStream *list, uint32_t index,
                                                   double *low, double *high) {
    return GetRange(kNumbers, list, index, low, high);
}

extern "C" RD_EXPORT void RDDatetimeListGetCount(const RDStream *list, uint32_t *values,
                                                 uint32_t *ranges) {
    GetCount(kDatetimes, list, values, ranges);
}

extern "C" RD_EXPORT uint32_t RDDatetimeListGetLength(const RDStream *list) {
    return GetLength(kDatetimes, list);
}

extern "C" RD_EXPORT uint32_t RDDatetimeListGetFirst(const RDStream *list, RDDatetime *value) {
    return GetFirst(kDatetimes, list, value);
}

extern "C" RD_EXPORT uint32_t RDDatetimeListGetValue(const RDStream *list, uint32_t index,
                                                     RDDatetime *value) {
    return GetValue(kDatetimes, list, index, value);
}

extern "C" RD_EXPORT uint32_t RDDatetimeListGetRange(const RDStream *list, uint32_t index,
                                                     RDDatetime *low, RDDatetime *high) {
    return GetRange(kDatetimes, list, index, low, high);
}
