// SPDX-License-Identifier: Apache-2.0
#include "number_forms.h"

#include "rdx_field.h"

#include <algorithm>
#include <charconv>

namespace rdxc {

bool ExactDouble(const Decimal &value, double &out) {
    // Powers of ten that doubles hold exactly.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (value.digits.size() > 15 || value.exponent < -22 || value.exponent > 22) return false;
    int64_t whole = 0;
    for (char c : value.digits)
        whole = whole * 10 + (c - '0');
    // Below 10^15 < 2^53: exact, as is the power.
    const double digits = static_cast<double>(whole);
    out = value.exponent < 0 ? digits / kPowers[-value.exponent] : digits * kPowers[value.exponent];
    if (value.negative) out = -out;
    return true;
}

int64_t CurrencyUnits(const RDCurrency &amount) {
    return static_cast<int64_t>((static_cast<uint64_t>(amount.high) << 32) | amount.low);
}

size_t CurrencyText(int64_t tenThousandths, char *buffer) {
    // The magnitude as unsigned: also sound for -2^63.
    const uint64_t magnitude = tenThousandths < 0 ? 0 - static_cast<uint64_t>(tenThousandths)
                                                  : static_cast<uint64_t>(tenThousandths);
    char *out = buffer;
    if (tenThousandths < 0) *out++ = '-';
    const uint64_t units = magnitude / 10000;
    if (units != 0) out = std::to_chars(out, buffer + kCurrencyTextSize, units).ptr;
    *out++ = '.';
    uint64_t fraction = magnitude % 10000;
    for (int i = 3; i >= 0; --i, fraction /= 10)
        out[i] = static_cast<char>('0' + fraction % 10);
    return static_cast<size_t>(out + 4 - buffer);
}

bool FieldDecimal(uint32_t field, const RDNumeric &record, Decimal &out, int32_t &shown) {
    if (!DecimalOf(record, out)) return false;
    uint32_t precision = 0;
    RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, nullptr);
    shown = precision != 0 && record.marker == RDNUMERIC_MARKER
                ? std::max<int32_t>(record.scale, 0)
                : static_cast<int32_t>(ScaleOf(out));
    return true;
}

} // namespace rdxc

namespace rdxc {
namespace {

// Julian Day Number of 1752-09-14, the first Gregorian day of the engine's
// calendar, and of 1970-01-01.
constexpr uint32_t kFirstGregorianDay = 2361222;
constexpr int64_t kUnixEpochDay = 2440588;

char *PutDigits(char *out, uint32_t number, int digits) {
    for (int i = digits - 1; i >= 0; --i, number /= 10)
        out[i] = static_cast<char>('0' + number % 10);
    return out + digits;
}

} // namespace

bool QuickDatetimeText(const RDDatetime &value, char *buffer, size_t &length) {
    if (value.date == RDDT_ABSENT || (value.date >> 24) != 0) return false;
    if (value.date < kFirstGregorianDay) return false;
    if (value.ticks != RDDT_ABSENT && value.ticks >= RDDT_MAX_TICKS) return false;
    // The proleptic Gregorian date of a day count from 1970-01-01, by eras
    // of 400 years.
    const int64_t z = static_cast<int64_t>(value.date) - kUnixEpochDay + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year > 99999) return false;
    char *out = buffer;
    out = PutDigits(out, static_cast<uint32_t>(year), year > 9999 ? 5 : 4);
    *out++ = '-';
    out = PutDigits(out, static_cast<uint32_t>(month), 2);
    *out++ = '-';
    out = PutDigits(out, static_cast<uint32_t>(day), 2);
    if (value.ticks != RDDT_ABSENT) {
        const uint32_t seconds = value.ticks / 100, hundredths = value.ticks % 100;
        *out++ = ' ';
        out = PutDigits(out, seconds / 3600, 2);
        *out++ = ':';
        out = PutDigits(out, seconds / 60 % 60, 2);
        *out++ = ':';
        out = PutDigits(out, seconds % 60, 2);
        if (hundredths != 0) {
            *out++ = '.';
            out = PutDigits(out, hundredths, 2);
        }
    }
    length = static_cast<size_t>(out - buffer);
    return true;
}

QuickNumber QuickNumeric(const RDNumeric &record, int32_t scale, int64_t &whole, double &real) {
    if (record.marker != RDNUMERIC_MARKER || record.precision > 18 || record.scale == -128)
        return QuickNumber::No;
    int64_t digits = 0;
    for (int i = 0; i < record.precision; ++i) {
        const uint8_t pair = record.digits[i / 2];
        digits = digits * 10 + ((i % 2 == 0) ? pair >> 4 : pair & 0x0F);
    }
    int32_t places = record.scale;
    // Trailing zeros after the point say nothing.
    while (places > 0 && digits % 10 == 0 && digits != 0) {
        digits /= 10;
        --places;
    }
    if (digits == 0) places = 0;
    if (scale >= 0 && places > scale) return QuickNumber::No; // refused or rounded
    const bool negative = record.sign != 0;
    if (places <= 0) {
        // Implied zeros before the point: at most 18 digits in all.
        for (; places < 0; ++places) {
            if (digits > 99999999999999999) return QuickNumber::No;
            digits *= 10;
        }
        whole = negative ? -digits : digits;
        return QuickNumber::Whole;
    }
    if (digits >= 1000000000000000 || places > 22) return QuickNumber::No; // 16 digits or more
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    real = static_cast<double>(digits) / kPowers[places];
    if (negative) real = -real;
    return QuickNumber::Real;
}

} // namespace rdxc
