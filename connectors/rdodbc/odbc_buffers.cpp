// SPDX-License-Identifier: Apache-2.0
#include "odbc_buffers.h"

#include "calendar.h"
#include "datetime_text.h"
#include "decimal_text.h"
#include "owned_stream.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "value_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rdodbc {
namespace {

// Bytes for a value of size characters (or bytes) of up to perUnit bytes
// each; an unknown or very large size gets the longest value.
SQLLEN WidthFor(SQLULEN size, SQLULEN perUnit) {
    if (size == 0 || size > static_cast<SQLULEN>(kLongestValue) / perUnit) return kLongestValue;
    return static_cast<SQLLEN>(size * perUnit);
}

constexpr SQLULEN kLongVarLimit = 8000; // beyond this a value is sent as a long type

bool IsIntegerType(SQLSMALLINT sqlType) {
    return sqlType == SQL_BIGINT || sqlType == SQL_INTEGER || sqlType == SQL_SMALLINT ||
           sqlType == SQL_TINYINT;
}
constexpr int32_t kNanosPerHundredth = 10000000;

} // namespace

void ColumnArray::Shape(SQLSMALLINT cType, SQLLEN width, size_t rows) {
    cType_ = cType;
    width_ = std::max<SQLLEN>(width, 1);
    bytes_.assign(rows * static_cast<size_t>(width_), '\0');
    indicators_.assign(rows, 0);
}

void ColumnArray::ForResult(uint32_t fieldType, SQLSMALLINT sqlType, SQLULEN size, size_t rows) {
    sqlType_ = sqlType;
    columnSize_ = size;
    switch (fieldType) {
    case RDTYPE_INT:
        return Shape(SQL_C_SLONG, sizeof(SQLINTEGER), rows);
    case RDTYPE_FLOAT:
        return Shape(SQL_C_DOUBLE, sizeof(SQLDOUBLE), rows);
    case RDTYPE_DATETIME:
        switch (DatetimeKindOf(sqlType)) {
        case DatetimeKind::Date:
            return Shape(SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT), rows);
        case DatetimeKind::Time:
            return Shape(SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT), rows);
        default:
            return Shape(SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), rows);
        }
    case RDTYPE_BINARY:
        return Shape(SQL_C_BINARY, WidthFor(size, 1), rows);
    case RDTYPE_NUMERIC:
    case RDTYPE_CURRENCY:
        // Digits, sign, point and exponent of any number the driver writes.
        return Shape(SQL_C_CHAR, std::max<SQLLEN>(WidthFor(size, 1) + 8, 64), rows);
    default:
        // Characters of up to 4 UTF-8 bytes, and the terminator.
        return Shape(SQL_C_CHAR, WidthFor(size, 4) + 1, rows);
    }
}

uint32_t ColumnArray::StoreDatetime(size_t row, uint32_t field, uint32_t index,
                                    rdxc::ValueRules &rules, std::string &problem) const {
    rdxc::DatetimeText text;
    RDDatetimeParts &parts = text.parts;
    if (cType_ == SQL_C_TYPE_DATE) {
        SQL_DATE_STRUCT date;
        std::memcpy(&date, At(row), sizeof date);
        parts.year = date.year, parts.month = date.month, parts.day = date.day;
    } else if (cType_ == SQL_C_TYPE_TIME) {
        SQL_TIME_STRUCT time;
        std::memcpy(&time, At(row), sizeof time);
        parts.hour = time.hour, parts.minute = time.minute, parts.second = time.second;
    } else {
        SQL_TIMESTAMP_STRUCT stamp;
        std::memcpy(&stamp, At(row), sizeof stamp);
        parts.year = stamp.year, parts.month = stamp.month, parts.day = stamp.day;
        parts.hour = stamp.hour, parts.minute = stamp.minute, parts.second = stamp.second;
        // Nanoseconds to the nearest hundredth, halves up.
        text.hundredths =
            static_cast<int32_t>((stamp.fraction + kNanosPerHundredth / 2) / kNanosPerHundredth);
        text.rounded = stamp.fraction % kNanosPerHundredth != 0;
    }
    RDDatetime value{};
    if (!rdxc::PartsInRange(text) || !rdxc::DatetimeValue(text, value)) {
        if (parts.year >= 0) problem = rdxc::EngineDateProblem(parts.year, parts.month, parts.day);
        return RDSTATUS_NODATETIME;
    }
    if (text.rounded) rules.CountRounded();
    return RDFieldSetDatetime(field, index, &value);
}

uint32_t ColumnArray::Store(size_t row, uint32_t field, uint32_t fieldType, uint32_t index,
                            rdxc::ValueRules &rules, std::string &problem) const {
    const SQLLEN length = indicators_[row];
    if (length == SQL_NULL_DATA) return RDFieldSetNull(field, index, 1);
    switch (cType_) {
    case SQL_C_SLONG: {
        int32_t value = 0;
        std::memcpy(&value, At(row), sizeof value);
        return RDFieldSetInt(field, index, &value);
    }
    case SQL_C_DOUBLE: {
        double value = 0;
        std::memcpy(&value, At(row), sizeof value);
        return RDFieldSetFloat(field, index, &value);
    }
    case SQL_C_TYPE_DATE:
    case SQL_C_TYPE_TIME:
    case SQL_C_TYPE_TIMESTAMP:
        if (uint32_t status = StoreDatetime(row, field, index, rules, problem);
            status != RDSTATUS_OK) {
            if (problem.empty()) problem = "the date-time is outside the engine's calendar";
            return status;
        }
        return RDSTATUS_OK;
    default:
        break;
    }
    // Characters keep room for their terminator; a longer value was cut.
    const SQLLEN room = cType_ == SQL_C_CHAR ? width_ - 1 : width_;
    if (length == SQL_NO_TOTAL || length < 0 || length > room) {
        problem = "the value is longer than " + std::to_string(room) + " bytes";
        return RDSTATUS_NOFIT;
    }
    const std::string_view bytes(At(row), static_cast<size_t>(length));
    rdxc::OwnedStream stream;
    if (cType_ == SQL_C_BINARY || fieldType == RDTYPE_TEXT) {
        const uint32_t set = cType_ == SQL_C_BINARY ? RDKIND_BINARY : RDCHARSET_INTERCHANGE;
        if (uint32_t status = stream.Set(set, bytes); status != RDSTATUS_OK) return status;
        return RDFieldSetStream(field, index, stream.get());
    }
    const uint32_t status = rdxc::TextToValue(field, fieldType, index, bytes, &rules);
    if (status != RDSTATUS_OK && status != RDSTATUS_NOMEMORY) {
        problem = rdxc::ValueProblem(field, fieldType, bytes, status);
        if (problem.empty())
            problem = "\"" + std::string(bytes) + "\" does not convert to a " +
                      rdxc::ColumnTypeName({fieldType, 0, 0});
    }
    return status;
}

uint32_t ColumnArray::FromField(uint32_t field, uint32_t fieldType, uint32_t first, size_t count,
                                const ParameterTarget &target, const rdxc::ValueRules &rules,
                                size_t &badRow, std::string &problem) {
    digits_ = 0;
    const bool number = fieldType == RDTYPE_NUMERIC || fieldType == RDTYPE_CURRENCY;
    if (number && IsIntegerType(target.sqlType))
        return IntegersFromField(field, fieldType, first, count, rules, badRow, problem);
    switch (fieldType) {
    case RDTYPE_INT:
        Shape(SQL_C_SLONG, sizeof(SQLINTEGER), count);
        sqlType_ = SQL_INTEGER, columnSize_ = 10;
        break;
    case RDTYPE_FLOAT:
        Shape(SQL_C_DOUBLE, sizeof(SQLDOUBLE), count);
        sqlType_ = SQL_DOUBLE, columnSize_ = 15;
        break;
    case RDTYPE_DATETIME:
        Shape(SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), count);
        sqlType_ = SQL_TYPE_TIMESTAMP, columnSize_ = 22, digits_ = 2;
        break;
    default:
        return TextsFromField(field, fieldType, first, count, target, rules, badRow, problem);
    }
    for (size_t r = 0; r < count; ++r) {
        void *value = nullptr;
        uint32_t *isNull = nullptr;
        if (uint32_t status =
                RDFieldGetBuffer(field, first + static_cast<uint32_t>(r), &value, &isNull);
            status != RDSTATUS_OK)
            return badRow = r, status;
        indicators_[r] = *isNull != 0 ? SQL_NULL_DATA : width_;
        if (*isNull != 0) continue;
        if (fieldType != RDTYPE_DATETIME) {
            std::memcpy(At(r), value, static_cast<size_t>(width_));
            continue;
        }
        const RDDatetime &datetime = *static_cast<const RDDatetime *>(value);
        RDDatetimeParts parts{};
        if (datetime.date == RDDT_ABSENT ||
            RDDatetimeGetParts(&datetime, 0, &parts) != RDSTATUS_OK) {
            problem = "a time without a date (or outside the calendar) cannot be sent as a "
                      "timestamp";
            return badRow = r, RDSTATUS_NODATETIME;
        }
        const bool hasTime = datetime.ticks != RDDT_ABSENT;
        SQL_TIMESTAMP_STRUCT stamp{};
        stamp.year = static_cast<SQLSMALLINT>(parts.year);
        stamp.month = static_cast<SQLUSMALLINT>(parts.month);
        stamp.day = static_cast<SQLUSMALLINT>(parts.day);
        if (hasTime) {
            stamp.hour = static_cast<SQLUSMALLINT>(parts.hour);
            stamp.minute = static_cast<SQLUSMALLINT>(parts.minute);
            stamp.second = static_cast<SQLUSMALLINT>(parts.second);
            stamp.fraction = static_cast<SQLUINTEGER>(parts.hundredth * kNanosPerHundredth);
        }
        std::memcpy(At(r), &stamp, sizeof stamp);
    }
    return RDSTATUS_OK;
}

// Texts, numbers as texts and binary values: their bytes first, then the
// width of the longest.
// Numbers for an integer column as 64-bit integers: whole ones only,
// unless the rules round.
uint32_t ColumnArray::IntegersFromField(uint32_t field, uint32_t fieldType, uint32_t first,
                                        size_t count, const rdxc::ValueRules &rules, size_t &badRow,
                                        std::string &problem) {
    Shape(SQL_C_SBIGINT, sizeof(int64_t), count);
    sqlType_ = SQL_BIGINT, columnSize_ = 19;
    std::string text;
    rdxc::Decimal number;
    for (size_t r = 0; r < count; ++r) {
        bool isNull = false;
        if (uint32_t status = rdxc::ValueToText(field, fieldType, first + static_cast<uint32_t>(r),
                                                text, isNull, &rules);
            status != RDSTATUS_OK) {
            problem = "the value has no text form";
            return badRow = r, status;
        }
        indicators_[r] = isNull ? SQL_NULL_DATA : width_;
        if (isNull) continue;
        int64_t whole = 0;
        if (!rdxc::ParseDecimal(text, number) ||
            rdxc::Rescale(number, 0, rules.rounding()) == rdxc::Fit::TooFine) {
            problem = rdxc::TooManyDecimals(text, rdxc::ScaleOf(number), 0, "that the column");
            return badRow = r, RDSTATUS_NOFIT;
        }
        if (!rdxc::ToInt64(number, whole)) {
            problem = text + " does not fit a 64-bit integer";
            return badRow = r, RDSTATUS_NOFIT;
        }
        std::memcpy(At(r), &whole, sizeof whole);
    }
    return RDSTATUS_OK;
}

// A number's text fitted to the target: at most the digits after the point
// of a numeric column (else refused, or rounded by the rules); where the
// data source keeps numbers in floats, at most 15 significant digits
// unless whole and of 64 bits. problem says why not.
static bool FitTarget(std::string &text, const ParameterTarget &target,
                      const rdxc::ValueRules &rules, std::string &problem) {
    rdxc::Decimal number;
    if (!rdxc::ParseDecimal(text, number)) return true; // the driver judges it
    const bool numeric = target.sqlType == SQL_NUMERIC || target.sqlType == SQL_DECIMAL;
    if (numeric && target.digits >= 0) {
        const rdxc::Fit fit = rdxc::Rescale(number, target.digits, rules.rounding());
        if (fit == rdxc::Fit::TooFine) {
            problem = rdxc::TooManyDecimals(text, rdxc::ScaleOf(number), target.digits,
                                            "that the column");
            return false;
        }
        if (fit == rdxc::Fit::Rounded) rdxc::FormatDecimal(number, target.digits, text);
    }
    const bool floats = numeric || target.sqlType == SQL_DOUBLE || target.sqlType == SQL_FLOAT ||
                        target.sqlType == SQL_REAL;
    int64_t whole = 0;
    if (target.exactDigits && floats && number.digits.size() > 15 &&
        !rdxc::ToInt64(number, whole)) {
        problem = text + " has more digits than the data source's numbers hold exactly (15)";
        return false;
    }
    return true;
}

uint32_t ColumnArray::SplitFromField(uint32_t field, uint32_t fieldType, uint32_t first,
                                     size_t count, const ParameterTarget &target,
                                     const rdxc::ValueRules &rules, ColumnArray *parts,
                                     size_t &badRow, std::string &problem) {
    ColumnArray &ints = parts[0], &reals = parts[1], &texts = parts[2];
    ParameterTarget scaleOnly = target; // every digit is kept: the text holds them
    scaleOnly.exactDigits = false;
    std::vector<std::string> values(count);
    size_t longest = 1;
    ints.Shape(SQL_C_SBIGINT, sizeof(int64_t), count);
    ints.sqlType_ = SQL_BIGINT, ints.columnSize_ = 19;
    reals.Shape(SQL_C_DOUBLE, sizeof(double), count);
    reals.sqlType_ = SQL_DOUBLE, reals.columnSize_ = 15;
    rdxc::Decimal number;
    for (size_t r = 0; r < count; ++r) {
        bool isNull = false;
        std::string &text = values[r];
        if (uint32_t status = rdxc::ValueToText(field, fieldType, first + static_cast<uint32_t>(r),
                                                text, isNull, &rules);
            status != RDSTATUS_OK) {
            problem = "the value has no text form";
            return badRow = r, status;
        }
        ints.indicators_[r] = reals.indicators_[r] = SQL_NULL_DATA;
        if (isNull || !FitTarget(text, scaleOnly, rules, problem)) {
            if (!isNull) return badRow = r, RDSTATUS_NOFIT;
            text.clear();
            continue;
        }
        int64_t whole = 0;
        if (rdxc::ParseDecimal(text, number) && rdxc::ToInt64(number, whole)) {
            std::memcpy(ints.At(r), &whole, sizeof whole);
            ints.indicators_[r] = ints.width_;
            text.clear();
        } else if (number.digits.size() <= 15) {
            const double real = std::strtod(text.c_str(), nullptr);
            std::memcpy(reals.At(r), &real, sizeof real);
            reals.indicators_[r] = reals.width_;
            text.clear();
        }
        longest = std::max(longest, text.size());
    }
    texts.Shape(SQL_C_CHAR, static_cast<SQLLEN>(longest + 1), count);
    texts.sqlType_ = SQL_VARCHAR, texts.columnSize_ = longest;
    for (size_t r = 0; r < count; ++r) {
        texts.indicators_[r] =
            values[r].empty() ? SQL_NULL_DATA : static_cast<SQLLEN>(values[r].size());
        std::memcpy(texts.At(r), values[r].data(), values[r].size());
    }
    return RDSTATUS_OK;
}

uint32_t ColumnArray::TextsFromField(uint32_t field, uint32_t fieldType, uint32_t first,
                                     size_t count, const ParameterTarget &target,
                                     const rdxc::ValueRules &rules, size_t &badRow,
                                     std::string &problem) {
    std::vector<std::string> values(count);
    std::vector<bool> nulls(count, false);
    size_t longest = 0, digits = 0, decimals = 0;
    for (size_t r = 0; r < count; ++r) {
        const uint32_t index = first + static_cast<uint32_t>(r);
        bool isNull = false;
        uint32_t status = RDSTATUS_OK;
        if (fieldType == RDTYPE_BINARY) {
            void *value = nullptr;
            uint32_t *indicator = nullptr;
            status = RDFieldGetBuffer(field, index, &value, &indicator);
            if (status == RDSTATUS_OK && !(isNull = *indicator != 0)) {
                const RDStream &bytes = *static_cast<const RDStream *>(value);
                if (bytes.data != nullptr)
                    values[r].assign(reinterpret_cast<const char *>(bytes.data), bytes.length);
            }
        } else {
            status = rdxc::ValueToText(field, fieldType, index, values[r], isNull, &rules);
        }
        if (status != RDSTATUS_OK) {
            problem = "the value has no text form";
            return badRow = r, status;
        }
        const bool number = fieldType == RDTYPE_NUMERIC || fieldType == RDTYPE_CURRENCY;
        if (number && !isNull && !FitTarget(values[r], target, rules, problem))
            return badRow = r, RDSTATUS_NOFIT;
        nulls[r] = isNull;
        longest = std::max(longest, values[r].size());
        if (fieldType == RDTYPE_NUMERIC || fieldType == RDTYPE_CURRENCY) {
            const std::string &text = values[r];
            const size_t point = text.find('.');
            digits = std::max<size_t>(digits, std::count_if(text.begin(), text.end(), [](char c) {
                                          return c >= '0' && c <= '9';
                                      }));
            if (point != std::string::npos) decimals = std::max(decimals, text.size() - point - 1);
        }
    }
    const bool binary = fieldType == RDTYPE_BINARY;
    Shape(binary ? SQL_C_BINARY : SQL_C_CHAR, static_cast<SQLLEN>(longest + 1), count);
    columnSize_ = std::max<SQLULEN>(longest, 1);
    if (fieldType == RDTYPE_NUMERIC || fieldType == RDTYPE_CURRENCY) {
        sqlType_ = SQL_NUMERIC;
        columnSize_ = std::max<SQLULEN>(digits, 1);
        digits_ = static_cast<SQLSMALLINT>(decimals);
    } else if (binary) {
        sqlType_ = longest > kLongVarLimit ? SQL_LONGVARBINARY : SQL_VARBINARY;
    } else {
        sqlType_ = longest > kLongVarLimit ? SQL_LONGVARCHAR : SQL_VARCHAR;
    }
    for (size_t r = 0; r < count; ++r) {
        indicators_[r] = nulls[r] ? SQL_NULL_DATA : static_cast<SQLLEN>(values[r].size());
        std::memcpy(At(r), values[r].data(), values[r].size());
    }
    return RDSTATUS_OK;
}

} // namespace rdodbc
