// SPDX-License-Identifier: Apache-2.0
#include "csv_columns.h"

#include "connector_values.h"
#include "decimal_text.h"
#include "rdx_field.h"
#include "rdx_numeric.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace rdcsv {

bool ParseColumnList(std::string_view text, std::vector<Column> &out, std::string &error) {
    out.clear();
    if (rdxc::TrimBlanks(text).empty()) return true;
    for (std::string_view entry : rdxc::ColumnEntries(text)) {
        Column column;
        std::string_view type = entry;
        if (const size_t colon = entry.rfind(':'); colon != std::string_view::npos) {
            column.name = rdxc::TrimBlanks(entry.substr(0, colon));
            type = rdxc::TrimBlanks(entry.substr(colon + 1));
        }
        if (!rdxc::ParseColumnType(type, column.type)) {
            error = "column " + std::to_string(out.size() + 1) + " has an unknown type \"" +
                    std::string(type) + "\"";
            return false;
        }
        out.push_back(std::move(column));
    }
    return true;
}

// Whether a number text would not come back as written: a plus sign or a
// leading zero ("007", "+5"), as codes and identifiers have them.
static bool NumberLosesItsForm(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return text.empty() || text.front() == '+' ||
           (text.size() > 1 && text[0] == '0' && text[1] >= '0' && text[1] <= '9');
}

// The digits after the point as written ("0.00" has 2), less the
// exponent; 0 for none.
static int64_t WrittenScale(std::string_view text) {
    const size_t point = text.find('.');
    const size_t exponent = std::min(text.find_first_of("eE"), text.size());
    int64_t scale = point < exponent ? static_cast<int64_t>(exponent - point - 1) : 0;
    if (exponent < text.size()) {
        int64_t shift = 0;
        std::from_chars(text.data() + exponent + 1 + (text[exponent + 1] == '+' ? 1 : 0),
                        text.data() + text.size(), shift);
        scale -= shift;
    }
    return scale > 0 ? scale : 0;
}

void TypeInference::Add(size_t column, std::string_view text) {
    if (votes_.size() <= column) votes_.resize(column + 1);
    Votes &v = votes_[column];
    v.seen = true;
    rdxc::Decimal number;
    const bool decimal = !NumberLosesItsForm(text) && rdxc::ParseDecimal(text, number);
    int64_t whole = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    const bool integer = decimal && error == std::errc() && end == text.data() + text.size();
    v.isInt = v.isInt && integer && whole >= INT32_MIN && whole <= INT32_MAX;
    v.isBigint = v.isBigint && integer;
    v.isDecimal = v.isDecimal && decimal;
    if (decimal) {
        v.scale = std::max(v.scale, WrittenScale(text));
        v.integerDigits = std::max(v.integerDigits, rdxc::IntegerDigits(number));
    }
    v.isDatetime = v.isDatetime && rdxc::TextIsDatetime(text, pattern_);
}

rdxc::ColumnType TypeInference::Result(size_t column) const {
    rdxc::ColumnType type;
    type.type = RDTYPE_TEXT;
    if (column >= votes_.size() || !votes_[column].seen) return type;
    const Votes &v = votes_[column];
    constexpr int64_t kRoom = 18, kMost = RDNUMERIC_MAX_PRECISION, kMostScale = 44;
    if (v.isInt) {
        type.type = RDTYPE_INT;
    } else if (v.isBigint) {
        type = {RDTYPE_NUMERIC, rdxc::kBigintPrecision, 0};
    } else if (v.isDecimal && v.scale <= kMostScale && v.scale + v.integerDigits <= kMost) {
        type.type = RDTYPE_NUMERIC;
        type.scale = static_cast<int32_t>(v.scale);
        type.precision =
            static_cast<uint32_t>(std::min(kMost, v.scale + std::max(kRoom, v.integerDigits)));
        // Integers beyond 64 bits are no bigint, whose 19 digits they have.
        if (rdxc::IsBigint(type)) type.precision = rdxc::kBigintPrecision + 1;
    } else if (v.isDatetime) {
        type.type = RDTYPE_DATETIME;
    }
    return type;
}

} // namespace rdcsv
