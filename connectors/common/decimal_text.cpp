// SPDX-License-Identifier: Apache-2.0
#include "decimal_text.h"

#include "rdx_status.h"

#include <charconv>
#include <cstring>

namespace rdxc {
namespace {

constexpr int64_t kMostExponent = 100000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading zeros out, trailing zeros into the exponent; 0 has no sign.
void Normalize(Decimal &value) {
    size_t first = 0;
    while (first < value.digits.size() && value.digits[first] == '0')
        ++first;
    value.digits.erase(0, first);
    size_t end = value.digits.size();
    while (end > 0 && value.digits[end - 1] == '0')
        --end;
    value.exponent += static_cast<int64_t>(value.digits.size() - end);
    value.digits.resize(end);
    if (value.digits.empty()) value.negative = false, value.exponent = 0;
}

int DigitAt(const RDNumeric &n, int i) {
    const uint8_t pair = n.digits[i / 2];
    return (i % 2 == 0) ? pair >> 4 : pair & 0x0F;
}

// Adds one to a string of digits, carrying; "999" becomes "1000".
void Increment(std::string &digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

bool ParseDecimal(std::string_view text, Decimal &out) {
    out.negative = false;
    out.digits.clear();
    out.exponent = 0;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    for (; i < text.size() && IsDigit(text[i]); ++i)
        out.digits += text[i];
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i, --out.exponent)
            out.digits += text[i];
    }
    if (out.digits.empty()) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        const size_t start = i;
        int64_t exponent = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > kMostExponent) return false;
        }
        if (i == start) return false;
        out.exponent += negative ? -exponent : exponent;
    }
    if (i != text.size()) return false;
    Normalize(out);
    return true;
}

int64_t ScaleOf(const Decimal &value) {
    return value.exponent < 0 ? -value.exponent : 0;
}

int64_t IntegerDigits(const Decimal &value) {
    const int64_t digits = static_cast<int64_t>(value.digits.size()) + value.exponent;
    return digits > 0 ? digits : 0;
}

Fit Rescale(Decimal &value, int32_t scale, Rounding rounding) {
    const int64_t lowest = -static_cast<int64_t>(scale); // the exponent of the last place
    if (value.digits.empty() || value.exponent >= lowest) return Fit::Exact;
    if (rounding == Rounding::None) return Fit::TooFine;
    const int64_t drop = lowest - value.exponent;
    const int64_t kept = static_cast<int64_t>(value.digits.size()) - drop;
    bool up = false;
    if (kept >= 0) {
        // The first dropped digit decides; a 5 with nothing after it (the
        // digits end in a non-zero digit) is a tie, broken toward even.
        const char first = value.digits[static_cast<size_t>(kept)];
        const bool more = static_cast<size_t>(kept) + 1 < value.digits.size();
        const bool odd = kept > 0 && (value.digits[static_cast<size_t>(kept) - 1] - '0') % 2 == 1;
        up = first > '5' || (first == '5' && (more || odd));
        value.digits.resize(static_cast<size_t>(kept));
    } else {
        value.digits.clear(); // below half of the last place kept
    }
    if (up) Increment(value.digits);
    value.exponent = lowest;
    Normalize(value);
    return Fit::Rounded;
}

void FormatDecimal(const Decimal &value, int32_t scale, std::string &out) {
    if (scale < 0) scale = 0;
    out.clear();
    if (value.negative) out += '-';
    // The value times 10^scale, a whole number.
    std::string whole = value.digits;
    const int64_t zeros = value.exponent + scale;
    if (zeros > 0) whole.append(static_cast<size_t>(zeros), '0');
    if (static_cast<int64_t>(whole.size()) <= scale)
        whole.insert(0, static_cast<size_t>(scale) - whole.size() + 1, '0');
    const size_t point = whole.size() - static_cast<size_t>(scale);
    out.append(whole, 0, point);
    if (scale > 0) out.append(".").append(whole, point, std::string::npos);
}

bool DecimalOf(const RDNumeric &record, Decimal &out) {
    // The digits' storage is kept: a reused value allocates no more.
    out.negative = false;
    out.digits.clear();
    out.exponent = 0;
    if (record.marker != RDNUMERIC_MARKER) {
        const uint8_t cleared[4] = {0, 0, 0, 0};
        return std::memcmp(&record, cleared, 4) == 0; // a cleared record is 0
    }
    if (record.precision > RDNUMERIC_MAX_PRECISION || record.scale == -128) return false;
    // The digits from the first non-zero one to the last, the zeros after
    // it counted in the exponent.
    int first = 0, end = record.precision;
    while (first < end && DigitAt(record, first) == 0)
        ++first;
    while (end > first && DigitAt(record, end - 1) == 0)
        --end;
    if (first == end) return true; // 0
    out.negative = record.sign != 0;
    out.digits.resize(static_cast<size_t>(end - first));
    for (int i = first; i < end; ++i)
        out.digits[static_cast<size_t>(i - first)] = static_cast<char>('0' + DigitAt(record, i));
    out.exponent = static_cast<int64_t>(record.precision - end) - record.scale;
    return true;
}

uint32_t StoreDecimal(const Decimal &value, RDNumeric &record) {
    if (record.marker != RDNUMERIC_MARKER || record.precision > RDNUMERIC_MAX_PRECISION)
        return RDSTATUS_NONUMERIC;
    const int64_t zeros = value.exponent + record.scale;
    if (zeros < 0) return RDSTATUS_NOFIT; // finer than the record: Rescale first
    const int64_t length =
        value.digits.empty() ? 0 : static_cast<int64_t>(value.digits.size()) + zeros;
    if (length > record.precision) return RDSTATUS_NOFIT;
    std::memset(record.digits, 0, sizeof record.digits);
    const int64_t first = record.precision - length;
    for (size_t k = 0; k < value.digits.size(); ++k) {
        const int64_t i = first + static_cast<int64_t>(k);
        const int digit = value.digits[k] - '0';
        record.digits[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
    }
    record.sign = value.negative ? 1 : 0;
    return RDSTATUS_OK;
}

bool ToInt64(const Decimal &value, int64_t &out) {
    out = 0;
    if (value.digits.empty()) return true;
    if (value.exponent < 0 || static_cast<int64_t>(value.digits.size()) + value.exponent > 19)
        return false;
    const uint64_t limit = value.negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    auto add = [&](int digit) {
        if (magnitude > (limit - static_cast<uint64_t>(digit)) / 10) return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(digit);
        return true;
    };
    for (char c : value.digits) {
        if (!add(c - '0')) return false;
    }
    for (int64_t k = 0; k < value.exponent; ++k) {
        if (!add(0)) return false;
    }
    out = value.negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

Decimal FromInt64(int64_t value) {
    Decimal decimal;
    decimal.negative = value < 0;
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, magnitude);
    decimal.digits.assign(text, result.ptr);
    Normalize(decimal);
    return decimal;
}

} // namespace rdxc
