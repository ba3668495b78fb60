// SPDX-License-Identifier: Apache-2.0
// The conversion matrix of field values: each target type takes the
// sources it can represent; other pairs give 12293.
#include "fields/field_internal.h"
#include "fields/field_value.h"

#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_numeric.h"
#include "rdx_status.h"
#include "rdx_text.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace rdx {
namespace {

const RDStream &AsStream(const void *value) {
    return *static_cast<const RDStream *>(value);
}

// The numeric functions take their operands as non-const records.
RDNumeric *AsNumeric(const void *value) {
    return const_cast<RDNumeric *>(static_cast<const RDNumeric *>(value));
}

uint32_t ToInt(uint32_t from, const void *source, int32_t *out) {
    if (from == RDTYPE_TEXT) return RDIntFromStream(out, &AsStream(source));
    double value = 0;
    const uint32_t status = FloatFromValue(from, source, &value);
    const uint32_t truncated = TruncateToInt(value, out);
    return status != RDSTATUS_OK ? status : truncated;
}

uint32_t ToFloat(uint32_t from, const void *source, double *out) {
    if (from == RDTYPE_TEXT) return RDFloatFromStream(out, &AsStream(source));
    return FloatFromValue(from, source, out);
}

uint32_t ToCurrency(uint32_t from, const void *source, RDCurrency *out) {
    if (from == RDTYPE_TEXT) return RDCurrencyFromStream(out, &AsStream(source));
    if (from == RDTYPE_NUMERIC)
        return CurrencyFromNumeric(out, static_cast<const RDNumeric *>(source));
    double value = 0;
    FloatFromValue(from, source, &value); // Int and Float: exact
    return RDCurrencyFromFloat(out, &value);
}

uint32_t ToNumeric(uint32_t from, const void *source, RDNumeric *out) {
    if (from == RDTYPE_TEXT) return RDNumericFromStream(out, &AsStream(source));
    if (from == RDTYPE_CURRENCY)
        return NumericFromCurrency(out, static_cast<const RDCurrency *>(source));
    double value = 0;
    FloatFromValue(from, source, &value); // Int and Float: exact
    return RDNumericFromFloat(out, &value);
}

uint32_t ToNumberType(uint32_t from, const void *source, uint32_t to, void *destination) {
    if (from == RDTYPE_BINARY) return ValueFromListStream(AsStream(source), to, destination);
    if (to == RDTYPE_DATETIME || from == RDTYPE_DATETIME) {
        if (to == RDTYPE_DATETIME && from == RDTYPE_TEXT)
            return RDDatetimeFromStream(static_cast<RDDatetime *>(destination), &AsStream(source));
        return RDSTATUS_BADKINDS;
    }
    switch (to) {
    case RDTYPE_INT:
        return ToInt(from, source, static_cast<int32_t *>(destination));
    case RDTYPE_FLOAT:
        return ToFloat(from, source, static_cast<double *>(destination));
    case RDTYPE_CURRENCY:
        return ToCurrency(from, source, static_cast<RDCurrency *>(destination));
    default:
        return ToNumeric(from, source, static_cast<RDNumeric *>(destination));
    }
}

// A value of a number type (1-5) written as text in charset.
uint32_t TextFromValue(uint32_t from, const void *source, uint32_t charset, RDStream *out) {
    switch (from) {
    case RDTYPE_INT:
        return RDStreamFromInt(out, static_cast<const int32_t *>(source), charset);
    case RDTYPE_FLOAT:
        return RDStreamFromFloat(out, static_cast<const double *>(source), charset);
    case RDTYPE_CURRENCY:
        return RDStreamFromCurrency(out, static_cast<const RDCurrency *>(source), charset);
    case RDTYPE_NUMERIC:
        return RDStreamFromNumeric(out, AsNumeric(source), charset);
    default:
        return RDStreamFromDatetime(out, static_cast<const RDDatetime *>(source), charset);
    }
}

uint32_t ToStreamType(uint32_t from, const void *source, uint32_t to, uint32_t charset,
                      RDStream *out) {
    if (charset == 0) charset = to == RDTYPE_TEXT ? RDCHARSET_DEFAULT : RDKIND_BINARY;
    // Stream sources change kind or character set as streams do.
    if (from == RDTYPE_BINARY || (from == RDTYPE_TEXT && (charset & RDKIND_FLAG) != 0))
        return RDStreamDataConvert(out, &AsStream(source), RDCONVERT_KEEPFORMAT, charset, nullptr,
                                   nullptr);
    if (from == RDTYPE_TEXT) return RDSTATUS_BADKINDS; // text into a text-set Binary
    if ((charset & RDKIND_FLAG) != 0) return ListStreamFromValue(from, source, charset, out);
    return TextFromValue(from, source, charset, out);
}

} // namespace

uint32_t FloatFromValue(uint32_t from, const void *source, double *out) {
    switch (from) {
    case RDTYPE_INT:
        *out = *static_cast<const int32_t *>(source);
        return RDSTATUS_OK;
    case RDTYPE_FLOAT:
        std::memcpy(out, source, sizeof *out);
        return RDSTATUS_OK;
    case RDTYPE_CURRENCY:
        return RDFloatFromCurrency(out, static_cast<const RDCurrency *>(source));
    default:
        return RDFloatFromNumeric(out, AsNumeric(source));
    }
}

uint32_t TruncateToInt(double value, int32_t *out) {
    constexpr double kLow = std::numeric_limits<int32_t>::min();
    constexpr double kHigh = std::numeric_limits<int32_t>::max();
    if (std::isnan(value)) {
        *out = 0;
        return RDSTATUS_NOFIT;
    }
    // The fraction is dropped first: -2147483648.9 still fits.
    const double whole = std::trunc(value);
    if (whole < kLow || whole > kHigh) {
        *out = whole < kLow ? std::numeric_limits<int32_t>::min()
                            : std::numeric_limits<int32_t>::max();
        return RDSTATUS_NOFIT;
    }
    *out = static_cast<int32_t>(whole);
    return RDSTATUS_OK;
}

uint32_t FieldValueConvert(uint32_t from, const void *source, uint32_t to, uint32_t charset,
                           void *destination) {
    if (source == nullptr || destination == nullptr) return RDSTATUS_NULLARG1;
    if (!ValidType(to)) return RDSTATUS_BADTYPE;
    if (!ValidType(from)) return RDSTATUS_BADKINDS;
    auto *out = static_cast<RDStream *>(destination);
    if (from == to) {
        if (IsStreamType(to))
            return RDStreamDataConvert(out, &AsStream(source), RDCONVERT_KEEPFORMAT, charset,
                                       nullptr, nullptr);
        std::memmove(destination, source, kTypeSizes[to]);
        return RDSTATUS_OK;
    }
    if (IsStreamType(to)) return ToStreamType(from, source, to, charset, out);
    return ToNumberType(from, source, to, destination);
}

} // namespace rdx
