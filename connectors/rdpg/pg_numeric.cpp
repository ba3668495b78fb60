// SPDX-License-Identifier: Apache-2.0
// The numeric binary form: base-10000 digit groups with a weight, a sign
// and the count of decimal digits shown, from and to decimal texts.
#include "pg_binary.h"
#include "pg_wire.h"

#include "decimal_text.h"

#include <algorithm>

namespace rdpg {
namespace {

constexpr uint16_t kNegative = 0x4000;

} // namespace

// [-]digits[.digits] into base-10000 groups around the decimal point.
bool NumericFromText(std::string_view text, std::string &out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point < text.size() ? text.substr(point + 1) : "";
    if (whole.empty() && fraction.empty()) return false;
    const size_t scale = fraction.size();
    // Digit k of the number, counted from the first group's first digit
    // (whole part padded in front, fraction behind, with zeros).
    const size_t lead = (4 - whole.size() % 4) % 4;
    const size_t wholeGroups = (whole.size() + lead) / 4;
    const size_t groupCount = wholeGroups + (scale + 3) / 4;
    uint16_t groups[512];
    if (groupCount > sizeof groups / sizeof groups[0]) return false;
    for (size_t g = 0; g < groupCount; ++g) {
        uint16_t value = 0;
        for (size_t k = g * 4; k < g * 4 + 4; ++k) {
            char c = '0';
            if (k >= lead && k - lead < whole.size())
                c = whole[k - lead];
            else if (k >= lead + whole.size() && k - lead - whole.size() < scale)
                c = fraction[k - lead - whole.size()];
            if (c < '0' || c > '9') return false;
            value = static_cast<uint16_t>(value * 10 + (c - '0'));
        }
        groups[g] = value;
    }
    int weight = static_cast<int>(wholeGroups) - 1;
    size_t begin = 0, end = groupCount;
    while (begin < end && groups[begin] == 0) {
        ++begin;
        --weight;
    }
    while (end > begin && groups[end - 1] == 0)
        --end;
    if (begin == end) weight = 0;
    if (scale > 0x3FFF || weight > 0x7FFF) return false;
    out.clear();
    Put16(out, static_cast<uint16_t>(end - begin));
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(weight)));
    Put16(out, begin == end ? 0 : negative ? kNegative : 0);
    Put16(out, static_cast<uint16_t>(scale));
    for (size_t i = begin; i < end; ++i)
        Put16(out, groups[i]);
    return true;
}

bool EncodeNumeric(const rdxc::Decimal &value, int32_t scale, std::string &out) {
    // The bounds of NumericFromText for the value's text with `scale`
    // digits after the point.
    const int64_t wholeDigits = std::max<int64_t>(rdxc::IntegerDigits(value), 1);
    if (scale < 0 || scale > 0x3FFF || (wholeDigits + 3) / 4 + (scale + 3) / 4 > 512) return false;
    if (value.digits.empty()) {
        Put32(out, 8);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, static_cast<uint16_t>(scale));
        return true;
    }
    // Digit k stands for 10^(top - k); the group of weight w holds the
    // powers 4w to 4w + 3.
    const int64_t length = static_cast<int64_t>(value.digits.size());
    const int64_t top = value.exponent + length - 1;
    auto weightOf = [](int64_t power) { return power >= 0 ? power / 4 : -((3 - power) / 4); };
    const int64_t first = weightOf(top), last = weightOf(value.exponent);
    const int64_t groups = first - last + 1;
    if (first > 0x7FFF) return false;
    Put32(out, static_cast<uint32_t>(8 + 2 * groups));
    Put16(out, static_cast<uint16_t>(groups));
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(first)));
    Put16(out, value.negative ? kNegative : 0);
    Put16(out, static_cast<uint16_t>(scale));
    for (int64_t w = first; w >= last; --w) {
        uint16_t group = 0;
        for (int64_t power = 4 * w + 3; power >= 4 * w; --power) {
            const int64_t at = top - power;
            const int digit =
                at >= 0 && at < length ? value.digits[static_cast<size_t>(at)] - '0' : 0;
            group = static_cast<uint16_t>(group * 10 + digit);
        }
        Put16(out, group);
    }
    return true;
}

bool NumericToText(std::string_view bytes, std::string &out) {
    if (bytes.size() < 8) return false;
    const size_t count = Get(bytes, 0, 2);
    const int weight = static_cast<int16_t>(Get(bytes, 2, 2));
    const uint16_t sign = static_cast<uint16_t>(Get(bytes, 4, 2));
    const size_t scale = Get(bytes, 6, 2);
    if (bytes.size() != 8 + 2 * count || (sign != 0 && sign != kNegative)) return false;
    auto group = [&](int i) -> uint16_t {
        return i >= 0 && static_cast<size_t>(i) < count
                   ? static_cast<uint16_t>(Get(bytes, 8 + 2 * i, 2))
                   : 0;
    };
    out = sign == kNegative ? "-" : "";
    if (weight < 0) {
        out += '0';
    } else {
        for (int i = 0; i <= weight; ++i) {
            const uint16_t g = group(i);
            if (g > 9999) return false;
            std::string four = std::to_string(g);
            if (i > 0) four.insert(0, 4 - four.size(), '0');
            out += four;
        }
    }
    if (scale > 0) {
        out += '.';
        std::string fraction;
        for (int i = weight + 1; fraction.size() < scale; ++i) {
            if (group(i) > 9999) return false;
            std::string four = std::to_string(group(i));
            fraction += std::string(4 - four.size(), '0') + four;
        }
        out += fraction.substr(0, scale);
    }
    return true;
}

// The binary form as a decimal, digit by digit, without a text between:
// the digits up to the shown scale (those after it are not part of the
// value the server shows).
bool NumericToDecimal(std::string_view bytes, rdxc::Decimal &out) {
    if (bytes.size() < 8) return false;
    const size_t count = Get(bytes, 0, 2);
    const int weight = static_cast<int16_t>(Get(bytes, 2, 2));
    const uint16_t sign = static_cast<uint16_t>(Get(bytes, 4, 2));
    const int64_t scale = static_cast<int64_t>(Get(bytes, 6, 2));
    if (bytes.size() != 8 + 2 * count || (sign != 0 && sign != kNegative)) return false;
    out.negative = sign == kNegative;
    out.digits.clear();
    // Group i holds the digits of 10^(4 * (weight - i)) to 10^(4 * (weight - i) + 3).
    int64_t lowest = 0; // the power of ten of the last digit kept
    for (size_t i = 0; i < count; ++i) {
        const uint16_t group = static_cast<uint16_t>(Get(bytes, 8 + 2 * i, 2));
        if (group > 9999) return false;
        const int64_t power = 4 * (static_cast<int64_t>(weight) - static_cast<int64_t>(i));
        const char four[4] = {
            static_cast<char>('0' + group / 1000), static_cast<char>('0' + group / 100 % 10),
            static_cast<char>('0' + group / 10 % 10), static_cast<char>('0' + group % 10)};
        for (int d = 0; d < 4; ++d) {
            const int64_t at = power + 3 - d;
            if (at < -scale) break;
            if (out.digits.empty() && four[d] == '0') continue;
            out.digits += four[d];
            lowest = at;
        }
    }
    const size_t last = out.digits.find_last_not_of('0');
    if (last == std::string::npos) {
        out.digits.clear();
        out.negative = false;
        out.exponent = 0;
        return true;
    }
    out.exponent = lowest + static_cast<int64_t>(out.digits.size() - 1 - last);
    out.digits.resize(last + 1);
    return true;
}

} // namespace rdpg
