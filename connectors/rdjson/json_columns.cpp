// SPDX-License-Identifier: Apache-2.0
#include "json_columns.h"

#include "connector_values.h"
#include "decimal_text.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_numeric.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace rdjson {
namespace {

// The digits after the point as written, less the exponent; 0 for none.
int64_t WrittenScale(std::string_view text) {
    const size_t point = text.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int64_t>(text.size() - point - 1);
}

} // namespace

bool ParseColumnList(std::string_view text, std::vector<Column> &out, std::string &error) {
    out.clear();
    if (rdxc::TrimBlanks(text).empty()) return true;
    for (std::string_view entry : rdxc::ColumnEntries(text)) {
        Column column;
        const size_t colon = entry.rfind(':');
        const std::string number = "column " + std::to_string(out.size() + 1);
        if (colon == std::string_view::npos || rdxc::TrimBlanks(entry.substr(0, colon)).empty()) {
            error = number + " names no key (\"name:type\")";
            return false;
        }
        column.name = rdxc::TrimBlanks(entry.substr(0, colon));
        const std::string_view type = rdxc::TrimBlanks(entry.substr(colon + 1));
        if (rdxc::SameWord(type, "bool") || rdxc::SameWord(type, "boolean")) {
            column.type.type = RDTYPE_INT;
            column.form = Form::Bool;
        } else if (rdxc::SameWord(type, "json")) {
            column.type.type = RDTYPE_TEXT;
            column.form = Form::Json;
        } else if (!rdxc::ParseColumnType(type, column.type)) {
            error = number + " has an unknown type \"" + std::string(type) + "\"";
            return false;
        }
        for (const Column &seen : out) {
            if (seen.name == column.name) {
                error = "the key " + column.name + " is declared twice";
                return false;
            }
        }
        out.push_back(std::move(column));
    }
    return true;
}

void TypeInference::Add(size_t column, Kind kind, std::string_view text) {
    if (kind == Kind::Null) return;
    if (votes_.size() <= column) votes_.resize(column + 1);
    Votes &v = votes_[column];
    if (v.seen && v.kind != kind) v.mixed = true;
    v.seen = true;
    v.kind = kind;
    if (kind == Kind::Number) {
        int64_t whole = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
        const bool integer = error == std::errc() && end == text.data() + text.size();
        v.isInt = v.isInt && integer && whole >= INT32_MIN && whole <= INT32_MAX;
        v.isBigint = v.isBigint && integer;
        rdxc::Decimal number;
        const bool plain =
            text.find_first_of("eE") == std::string_view::npos && rdxc::ParseDecimal(text, number);
        v.isDecimal = v.isDecimal && plain;
        if (plain) {
            v.scale = std::max(v.scale, WrittenScale(text));
            v.integerDigits = std::max(v.integerDigits, rdxc::IntegerDigits(number));
        }
    } else if (kind == Kind::String) {
        v.isDatetime = v.isDatetime && rdxc::TextIsDatetime(text, pattern_);
    }
}

Column TypeInference::Result(size_t column) const {
    Column result;
    result.type.type = RDTYPE_TEXT;
    if (column >= votes_.size() || !votes_[column].seen || votes_[column].mixed) return result;
    const Votes &v = votes_[column];
    constexpr int64_t kRoom = 18, kMost = RDNUMERIC_MAX_PRECISION, kMostScale = 44;
    switch (v.kind) {
    case Kind::Bool:
        result.type.type = RDTYPE_INT;
        result.form = Form::Bool;
        break;
    case Kind::Number:
        if (v.isInt) {
            result.type.type = RDTYPE_INT;
        } else if (v.isBigint) {
            result.type = {RDTYPE_NUMERIC, rdxc::kBigintPrecision, 0};
        } else if (v.isDecimal && v.scale <= kMostScale && v.scale + v.integerDigits <= kMost) {
            result.type.type = RDTYPE_NUMERIC;
            result.type.scale = static_cast<int32_t>(v.scale);
            result.type.precision =
                static_cast<uint32_t>(std::min(kMost, v.scale + std::max(kRoom, v.integerDigits)));
            // Integers beyond 64 bits are no bigint, whose 19 digits they have.
            if (rdxc::IsBigint(result.type)) result.type.precision = rdxc::kBigintPrecision + 1;
        } else {
            result.type.type = RDTYPE_FLOAT;
        }
        break;
    case Kind::String:
        if (v.isDatetime) result.type.type = RDTYPE_DATETIME;
        break;
    case Kind::Nested:
        result.form = Form::Json;
        break;
    case Kind::Null:
        break;
    }
    return result;
}

} // namespace rdjson
