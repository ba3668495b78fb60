// SPDX-License-Identifier: Apache-2.0
// Reading and comparing incremental key values.
#include "key_compare.h"

#include "datetime_text.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <charconv>
#include <cstdlib>

namespace rdxc {
namespace {

constexpr uint32_t kUtf8 = 65001;

template <typename T> int Order(const T &a, const T &b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The library's own text of a date-time (its settings' order of the date
// parts, a 12-hour clock) where the text is not one of the ISO forms. The
// library reads it in the local zone, but it writes a value in the value's
// own zone, and the values connectors read are of zone 0: the parts as
// written are taken as zone 0, so that a fetched value's text reads back
// as the same instant whatever the local zone.
bool LibraryDatetime(std::string_view text, RDDatetime &out) {
    RDStream stream;
    RDStreamClear(&stream);
    if (RDStreamCreate(&stream, 0, 0, kUtf8) != RDSTATUS_OK) return false;
    bool ok = RDStreamDataSet(&stream, kUtf8, text.data(), static_cast<uint32_t>(text.size())) ==
                  RDSTATUS_OK &&
              RDDatetimeFromStream(&out, &stream) == RDSTATUS_OK;
    RDStreamDataFree(&stream);
    if (!ok || out.date == RDDT_ABSENT || (out.date >> 24) == 0) return ok;
    RDDatetimeParts parts{};
    if (RDDatetimeGetParts(&out, 0, &parts) != RDSTATUS_OK) return false;
    parts.zone = parts.dst = 0;
    return RDDatetimeSetParts(&out, &parts, 0) == RDSTATUS_OK;
}

bool ReadReal(std::string_view text, double &out) {
    if (!TextIsFloat(text) && !TextIsDecimal(text)) return false;
    const std::string copy(text);
    char *end = nullptr;
    out = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

// Orders by instant: the day, then the time of day; the zone byte of the
// date word is no part of the instant.
int CompareDatetimes(const RDDatetime &a, const RDDatetime &b) {
    if (int day = Order(a.date & 0xFFFFFFu, b.date & 0xFFFFFFu); day != 0) return day;
    return Order(a.ticks, b.ticks);
}

int CompareDecimals(const Decimal &a, const Decimal &b) {
    const bool aZero = a.digits.empty(), bZero = b.digits.empty();
    if (aZero || bZero) {
        if (aZero && bZero) return 0;
        if (aZero) return b.negative ? 1 : -1;
        return a.negative ? -1 : 1;
    }
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    const int sign = a.negative ? -1 : 1;
    // Magnitude: the position of the leading digit first, then the digits.
    const int64_t aTop = static_cast<int64_t>(a.digits.size()) + a.exponent;
    const int64_t bTop = static_cast<int64_t>(b.digits.size()) + b.exponent;
    if (aTop != bTop) return sign * Order(aTop, bTop);
    return sign * Order(a.digits, b.digits);
}

} // namespace

bool ReadKey(uint32_t type, std::string_view text, KeyValue &out) {
    out = KeyValue{};
    out.type = type;
    switch (type) {
    case RDTYPE_INT:
    case RDTYPE_NUMERIC:
    case RDTYPE_CURRENCY:
        return ParseDecimal(text, out.number);
    case RDTYPE_FLOAT:
        return ReadReal(text, out.real);
    case RDTYPE_DATETIME:
        return ParseDatetime(text, out.when) || LibraryDatetime(text, out.when);
    default:
        out.text = text;
        return true;
    }
}

int CompareKeys(const KeyValue &a, const KeyValue &b) {
    switch (a.type) {
    case RDTYPE_INT:
    case RDTYPE_NUMERIC:
    case RDTYPE_CURRENCY:
        return CompareDecimals(a.number, b.number);
    case RDTYPE_FLOAT:
        return Order(a.real, b.real);
    case RDTYPE_DATETIME:
        return CompareDatetimes(a.when, b.when);
    default:
        return Order(a.text, b.text);
    }
}

bool CompareKeyTexts(uint32_t type, std::string_view a, std::string_view b, int &result) {
    KeyValue first, second;
    if (!ReadKey(type, a, first) || !ReadKey(type, b, second)) return false;
    result = CompareKeys(first, second);
    return true;
}

bool ParseKeyOp(std::string_view text, bool &orEqual) {
    orEqual = text == ">=";
    return text.empty() || text == ">" || orEqual;
}

std::string PortableKeyText(std::string_view text) {
    DatetimeText iso;
    RDDatetime when{};
    std::string out;
    if (TextIsFloat(text) || TextIsDecimal(text) || ReadDatetimeText(text, iso) ||
        !LibraryDatetime(text, when) || !FormatDatetime(when, out))
        return std::string(text);
    return out;
}

uint32_t KeyField(const ColumnType &column, std::string_view text, uint32_t &field,
                  std::string &problem) {
    field = 0;
    KeyValue value;
    if (!ReadKey(column.type, text, value)) {
        problem = "the incremental value \"" + std::string(text) + "\" is no " +
                  ColumnTypeName(column) + " value";
        return RDSTATUS_BADPATTERN;
    }
    if (uint32_t status = RDFieldAlloc(&field, column.type, 1); status != RDSTATUS_OK)
        return status;
    uint32_t status = ApplyColumnType(field, column);
    if (status == RDSTATUS_OK && column.type == RDTYPE_DATETIME)
        status = RDFieldSetDatetime(field, 1, &value.when);
    else if (status == RDSTATUS_OK)
        status = TextToValue(field, column.type, 1, text);
    if (status == RDSTATUS_OK) return status;
    problem = "the incremental value \"" + std::string(text) + "\" does not fit a " +
              ColumnTypeName(column) + " field";
    RDFieldFree(field);
    field = 0;
    return status;
}

} // namespace rdxc
