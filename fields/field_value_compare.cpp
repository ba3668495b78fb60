// SPDX-License-Identifier: Apache-2.0
// Comparison of two non-null field values. The primary value's type
// decides how they are compared; the secondary is converted to it.
#include "fields/field_internal.h"
#include "fields/field_value.h"

#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <cmath>
#include <cstring>

namespace rdx {
namespace {

int32_t Order(auto a, auto b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// Numeric order with NaN after every number and equal to itself.
int32_t FloatOrder(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return Order(std::isnan(a), std::isnan(b));
    return Order(a, b);
}

// Two values of one sign that agree to 9 significant digits.
bool ApproximatelyEqual(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || !((a >= 0 && b >= 0) || (a <= 0 && b <= 0))) return false;
    const double magnitude = a == 0 ? -16 : std::log10(std::fabs(a));
    return magnitude - std::log10(std::fabs(a - b)) > 9;
}

uint32_t CompareInt(const int32_t &p, uint32_t sType, const void *s, int32_t *result) {
    int32_t value = 0;
    const uint32_t status = FieldValueConvert(sType, s, RDTYPE_INT, 0, &value);
    if (status == RDSTATUS_OK) *result = Order(p, value);
    return status;
}

uint32_t CompareFloat(const double &p, uint32_t sType, const void *s, uint32_t options,
                      int32_t *result) {
    double value = 0;
    const uint32_t status = FieldValueConvert(sType, s, RDTYPE_FLOAT, 0, &value);
    if (status != RDSTATUS_OK) return status;
    *result = FloatOrder(p, value);
    if (*result != 0 && (options & RDCOMPARE_APPROX) != 0 && ApproximatelyEqual(p, value))
        *result = 0;
    return RDSTATUS_OK;
}

uint32_t CompareCurrency(const RDCurrency &p, uint32_t sType, const void *s, int32_t *result) {
    RDCurrency value{};
    const uint32_t status = FieldValueConvert(sType, s, RDTYPE_CURRENCY, 0, &value);
    return status != RDSTATUS_OK ? status : RDCurrencyCompare(&p, &value, result);
}

// The secondary is read into P's precision and scale. A value beyond them
// (not a list of several, whose first value was read) orders by its sign,
// never as the saturated value that would equal P's largest.
uint32_t CompareNumeric(const RDNumeric &p, uint32_t sType, const void *s, int32_t *result) {
    RDNumeric primary = p, value;
    uint32_t status =
        RDNumericCreate(&value, RDNumericGetPrecision(&primary), RDNumericGetScale(&primary));
    if (status != RDSTATUS_OK) return status;
    status = sType == RDTYPE_NUMERIC ? RDSTATUS_OK
                                     : FieldValueConvert(sType, s, RDTYPE_NUMERIC, 0, &value);
    RDNumeric *secondary = sType == RDTYPE_NUMERIC
                               ? const_cast<RDNumeric *>(static_cast<const RDNumeric *>(s))
                               : &value;
    if (status == RDSTATUS_NOFIT && sType != RDTYPE_BINARY) {
        *result = value.sign != 0 ? 1 : -1;
        return RDSTATUS_OK;
    }
    if (status != RDSTATUS_OK && status != RDSTATUS_NOFIT) return status;
    return RDNumericCompare(&primary, secondary, result);
}

// The first calendar part that differs decides: year down to seconds, and
// hundredths unless they are left out.
uint32_t CompareDateParts(const RDDatetime &p, const RDDatetime &s, uint32_t options,
                          int32_t *result) {
    RDDatetimeParts a, b;
    uint32_t status = RDDatetimeGetParts(&p, 0, &a);
    if (status == RDSTATUS_OK) status = RDDatetimeGetParts(&s, 0, &b);
    if (status != RDSTATUS_OK) return status;
    const int32_t left[] = {a.year, a.month, a.day, a.hour, a.minute, a.second, a.hundredth};
    const int32_t right[] = {b.year, b.month, b.day, b.hour, b.minute, b.second, b.hundredth};
    const size_t parts = (options & RDCOMPARE_NOHUNDREDTHS) != 0 ? 6 : 7;
    *result = 0;
    for (size_t i = 0; i < parts && *result == 0; ++i)
        *result = Order(left[i], right[i]);
    return RDSTATUS_OK;
}

uint32_t CompareDatetime(const RDDatetime &p, uint32_t sType, const void *s, uint32_t options,
                         int32_t *result) {
    RDDatetime value;
    uint32_t status = FieldValueConvert(sType, s, RDTYPE_DATETIME, 0, &value);
    if (status == RDSTATUS_OK) status = RDDatetimeCompare(&p, &value, result);
    if (status != RDSTATUS_OK || *result == 0) return status;
    if ((options & (RDCOMPARE_DATEPARTS | RDCOMPARE_NOHUNDREDTHS)) == 0) return RDSTATUS_OK;
    return CompareDateParts(p, value, options, result);
}

} // namespace

uint32_t FieldValueCompare(uint32_t pType, const void *p, uint32_t sType, const void *s,
                           uint32_t options, int32_t *result) {
    *result = 0;
    if (pType >= RDTYPE_INT && pType <= RDTYPE_DATETIME && sType == pType &&
        std::memcmp(p, s, kTypeSizes[pType]) == 0)
        return RDSTATUS_OK;
    switch (pType) {
    case RDTYPE_INT:
        return CompareInt(*static_cast<const int32_t *>(p), sType, s, result);
    case RDTYPE_FLOAT:
        return CompareFloat(*static_cast<const double *>(p), sType, s, options, result);
    case RDTYPE_CURRENCY:
        return CompareCurrency(*static_cast<const RDCurrency *>(p), sType, s, result);
    case RDTYPE_NUMERIC:
        return CompareNumeric(*static_cast<const RDNumeric *>(p), sType, s, result);
    case RDTYPE_DATETIME:
        return CompareDatetime(*static_cast<const RDDatetime *>(p), sType, s, options, result);
    case RDTYPE_TEXT:
    case RDTYPE_BINARY:
        if (!IsStreamType(sType)) return RDSTATUS_BADKINDS;
        return RDStreamDataCompare(static_cast<const RDStream *>(p),
                                   static_cast<const RDStream *>(s), result);
    default:
        return RDSTATUS_BADTYPE;
    }
}

} // namespace rdx
