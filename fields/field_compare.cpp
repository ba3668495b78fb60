// SPDX-License-Identifier: Apache-2.0
// RDFieldCompare: runs of values of two fields compared pair by pair. One
// field is primary (its type decides how values compare): a number field
// over a stream field, else the higher type code, the first field on a tie.
#include "fields/field_internal.h"
#include "fields/field_value.h"
#include "rdx_fieldvalue.h"

#include <algorithm>

using namespace rdx;

namespace {

struct Run {
    const Field *field;
    uint32_t first; // index of the first value compared
};

bool FirstIsPrimary(const Field &a, const Field &b) {
    const bool aStream = IsStreamType(a.type), bStream = IsStreamType(b.type);
    if (aStream != bStream) return bStream;
    return a.type >= b.type;
}

// Compares n pairs in order until one differs. A null value orders after
// every value.
uint32_t ComparePairs(const Run &p, const Run &s, uint32_t n, uint32_t options, int32_t *result) {
    for (uint32_t k = 0; k < n && *result == 0; ++k) {
        const bool pNull = p.field->nulls[p.first + k - 1] != 0;
        const bool sNull = s.field->nulls[s.first + k - 1] != 0;
        if (pNull || sNull) {
            *result = pNull == sNull ? 0 : pNull ? 1 : -1;
            continue;
        }
        const uint32_t status =
            FieldValueCompare(p.field->type, ValueAt(*p.field, p.first + k), s.field->type,
                              ValueAt(*s.field, s.first + k), options, result);
        if (status != RDSTATUS_OK) {
            *result = 0;
            return status;
        }
    }
    return RDSTATUS_OK;
}

// Equal runs: the field whose values ran out first orders first.
int32_t TailOrder(const Run &p, const Run &s, uint32_t n) {
    const uint32_t pLast = p.first + n - 1, sLast = s.first + n - 1;
    if (pLast == p.field->valueCount && sLast < s.field->valueCount) return -1;
    if (sLast == s.field->valueCount && pLast < p.field->valueCount) return 1;
    return 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldCompare(uint32_t first, uint32_t firstIndex, uint32_t second,
                                             uint32_t secondIndex, uint32_t count, uint32_t options,
                                             int32_t *result) {
    if (result != nullptr) *result = 0;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    if (result == nullptr) return RDSTATUS_NULLARG2;
    const Field *a = FindField(first), *b = FindField(second);
    if (a == nullptr || b == nullptr) return RDSTATUS_NOFIELD;
    if (uint32_t status = CheckFieldIndex(a, firstIndex); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckFieldIndex(b, secondIndex); status != RDSTATUS_OK) return status;
    const uint32_t n =
        std::min({count, a->valueCount - firstIndex + 1, b->valueCount - secondIndex + 1});
    const bool swapped = !FirstIsPrimary(*a, *b);
    const Run runA{a, firstIndex}, runB{b, secondIndex};
    const Run &p = swapped ? runB : runA, &s = swapped ? runA : runB;
    int32_t order = 0;
    if (uint32_t status = ComparePairs(p, s, n, options, &order); status != RDSTATUS_OK)
        return status;
    if (order == 0 && count >= 1) order = TailOrder(p, s, n);
    *result = swapped ? -order : order;
    return RDSTATUS_OK;
}
