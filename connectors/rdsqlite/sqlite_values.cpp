// SPDX-License-Identifier: Apache-2.0
#include "sqlite_values.h"

#include "datetime_text.h"

#include "decimal_text.h"
#include "number_forms.h"
#include "owned_stream.h"
#include "rdx_currency.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "sqlite_types.h"
#include "value_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rdsqlite {
namespace {

uint32_t BindResult(sqlite3_stmt *statement, int result, std::string &problem) {
    if (result == SQLITE_OK) return RDSTATUS_OK;
    problem = sqlite3_errmsg(sqlite3_db_handle(statement));
    if (result == SQLITE_NOMEM) return RDSTATUS_NOMEMORY;
    return result == SQLITE_TOOBIG ? RDSTATUS_RECORDFAULT : RDSTATUS_FREETEXT;
}

std::string ColumnText(sqlite3_stmt *statement, int column) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text == nullptr
               ? std::string()
               : std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

uint32_t StoreInt(sqlite3_stmt *statement, int column, uint32_t field, uint32_t index,
                  std::string &problem) {
    const int storage = sqlite3_column_type(statement, column);
    if (storage == SQLITE_TEXT) {
        const uint32_t status =
            rdxc::TextToValue(field, RDTYPE_INT, index, ColumnText(statement, column));
        if (status != RDSTATUS_OK)
            problem = "\"" + ColumnText(statement, column) + "\" is not an integer";
        return status;
    }
    const double real = sqlite3_column_double(statement, column);
    const sqlite3_int64 whole = sqlite3_column_int64(statement, column);
    const bool fits = storage == SQLITE_INTEGER
                          ? whole >= std::numeric_limits<int32_t>::min() &&
                                whole <= std::numeric_limits<int32_t>::max()
                          : storage == SQLITE_FLOAT && real == std::trunc(real) &&
                                real >= std::numeric_limits<int32_t>::min() &&
                                real <= std::numeric_limits<int32_t>::max();
    if (!fits) {
        problem = ColumnText(statement, column) + " does not fit an integer field";
        return RDSTATUS_NOFIT;
    }
    const int32_t value =
        storage == SQLITE_INTEGER ? static_cast<int32_t>(whole) : static_cast<int32_t>(real);
    return RDFieldSetInt(field, index, &value);
}

// Texts of the library's number and date-time forms, read strictly.
uint32_t StoreFromText(sqlite3_stmt *statement, int column, uint32_t field, uint32_t type,
                       uint32_t index, rdxc::ValueRules &rules, std::string &problem) {
    const std::string text = ColumnText(statement, column);
    const uint32_t status = rdxc::TextToValue(field, type, index, text, &rules);
    if (status == RDSTATUS_OK || status == RDSTATUS_NOMEMORY) return status;
    // A date the engine's calendar lacks, a number with too many digits.
    problem = rdxc::ValueProblem(field, type, text, status);
    if (problem.empty())
        problem = "\"" + text + "\" does not convert to a " + rdxc::ColumnTypeName({type, 0, 0});
    return status;
}

// Binds the bytes without a copy: they stay unchanged until the statement
// has run. A null pointer would bind a null: an empty text is "".
uint32_t BindText(sqlite3_stmt *statement, int position, const char *bytes, size_t length,
                  std::string &problem) {
    if (length > static_cast<size_t>(std::numeric_limits<int>::max())) {
        problem = "the value is too long for SQLite";
        return RDSTATUS_RECORDFAULT;
    }
    return BindResult(statement,
                      sqlite3_bind_text(statement, position, bytes != nullptr ? bytes : "",
                                        static_cast<int>(length), SQLITE_STATIC),
                      problem);
}

uint32_t BindScratch(sqlite3_stmt *statement, int position, const std::string &scratch,
                     std::string &problem) {
    return BindText(statement, position, scratch.data(), scratch.size(), problem);
}

// A number into a number column: whole numbers of 64 bits as integers, at
// most 15 significant digits as reals, which SQLite holds exactly, more as
// the exact text where the column keeps texts as they are; more digits
// after the point than the column holds are refused unless the rules round
// them. text: the value's text when the caller has it, else empty and made
// (with `shown` digits after the point) only where a failure names it.
uint32_t BindNumber(sqlite3_stmt *statement, int position, const TargetColumn &column,
                    const rdxc::ValueRules &rules, rdxc::Decimal &number, int32_t shown,
                    std::string_view text, std::string &scratch, std::string &problem) {
    // The text as it was, before a rounding changes the number.
    auto original = [&]() -> std::string {
        if (!text.empty()) return std::string(text);
        std::string made;
        rdxc::FormatDecimal(number, shown, made);
        return made;
    };
    std::string before;
    if (column.scale >= 0 && rdxc::ScaleOf(number) > column.scale) {
        before = original();
        if (rdxc::Rescale(number, column.scale, rules.rounding()) == rdxc::Fit::TooFine) {
            problem = rdxc::TooManyDecimals(before, rdxc::ScaleOf(number), column.scale,
                                            "that the column");
            return RDSTATUS_NOFIT;
        }
    }
    if (int64_t whole = 0; rdxc::ToInt64(number, whole))
        return BindResult(statement, sqlite3_bind_int64(statement, position, whole), problem);
    if (column.affinity == Affinity::Integer) {
        problem =
            (before.empty() ? original() : before) + " does not fit the column's 64-bit integers";
        return RDSTATUS_NOFIT;
    }
    if (number.digits.size() <= kExactDigits) {
        double real = 0;
        if (!rdxc::ExactDouble(number, real)) {
            rdxc::FormatDecimal(number, static_cast<int32_t>(rdxc::ScaleOf(number)), scratch);
            real = std::strtod(scratch.c_str(), nullptr);
        }
        return BindResult(statement, sqlite3_bind_double(statement, position, real), problem);
    }
    rdxc::FormatDecimal(number, static_cast<int32_t>(rdxc::ScaleOf(number)), scratch);
    if (!column.exact) {
        problem = scratch + " has more digits than the column's numbers hold exactly";
        return RDSTATUS_NOFIT;
    }
    return BindScratch(statement, position, scratch, problem);
}

// Whether numbers go to the column as numbers (else as their texts).
bool TakesNumbers(const TargetColumn &column) {
    return column.affinity != Affinity::Text && (column.affinity != Affinity::None || column.exact);
}

} // namespace

uint32_t BindValue(sqlite3_stmt *statement, int position, uint32_t field, uint32_t type,
                   uint32_t index, const TargetColumn &column, const rdxc::ValueRules &rules,
                   std::string &scratch, std::string &problem) {
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (uint32_t status = RDFieldGetBuffer(field, index, &value, &indicator); status != RDSTATUS_OK)
        return status;
    if (*indicator != 0)
        return BindResult(statement, sqlite3_bind_null(statement, position), problem);
    switch (type) {
    case RDTYPE_INT:
        return BindResult(statement,
                          sqlite3_bind_int(statement, position, *static_cast<int32_t *>(value)),
                          problem);
    case RDTYPE_FLOAT:
        return BindResult(statement,
                          sqlite3_bind_double(statement, position, *static_cast<double *>(value)),
                          problem);
    case RDTYPE_BINARY: {
        const RDStream &bytes = *static_cast<RDStream *>(value);
        if (bytes.length == 0 || bytes.data == nullptr)
            return BindResult(statement, sqlite3_bind_zeroblob(statement, position, 0), problem);
        if (bytes.length > static_cast<uint32_t>(std::numeric_limits<int>::max())) {
            problem = "the value is too long for SQLite";
            return RDSTATUS_RECORDFAULT;
        }
        return BindResult(statement,
                          sqlite3_bind_blob(statement, position, bytes.data,
                                            static_cast<int>(bytes.length), SQLITE_STATIC),
                          problem);
    }
    case RDTYPE_NUMERIC: {
        const RDNumeric &record = *static_cast<const RDNumeric *>(value);
        int64_t whole = 0;
        double real = 0;
        switch (TakesNumbers(column) ? rdxc::QuickNumeric(record, column.scale, whole, real)
                                     : rdxc::QuickNumber::No) {
        case rdxc::QuickNumber::Whole:
            return BindResult(statement, sqlite3_bind_int64(statement, position, whole), problem);
        case rdxc::QuickNumber::Real:
            return BindResult(statement, sqlite3_bind_double(statement, position, real), problem);
        case rdxc::QuickNumber::No:
            break;
        }
        thread_local rdxc::Decimal number;
        int32_t shown = 0;
        if (!rdxc::FieldDecimal(field, record, number, shown)) {
            problem = "the value has no text form";
            return RDSTATUS_NONUMERIC;
        }
        if (TakesNumbers(column))
            return BindNumber(statement, position, column, rules, number, shown, {}, scratch,
                              problem);
        rdxc::FormatDecimal(number, shown, scratch);
        return BindScratch(statement, position, scratch, problem);
    }
    case RDTYPE_CURRENCY: {
        char text[rdxc::kCurrencyTextSize];
        const std::string_view amount(
            text, rdxc::CurrencyText(rdxc::CurrencyUnits(*static_cast<RDCurrency *>(value)), text));
        if (!TakesNumbers(column)) {
            scratch.assign(amount);
            return BindScratch(statement, position, scratch, problem);
        }
        thread_local rdxc::Decimal number;
        if (!rdxc::ParseDecimal(amount, number)) {
            problem = "\"" + std::string(amount) + "\" is not a decimal number";
            return RDSTATUS_NONUMERIC;
        }
        return BindNumber(statement, position, column, rules, number, 4, amount, scratch, problem);
    }
    case RDTYPE_DATETIME: {
        // The text SQLite keeps: the rules' pattern, else the ISO form.
        const RDDatetime &datetime = *static_cast<RDDatetime *>(value);
        if (rules.pattern().empty()) {
            size_t length = 0;
            scratch.resize(rdxc::kDatetimeTextSize);
            if (rdxc::QuickDatetimeText(datetime, scratch.data(), length)) {
                scratch.resize(length);
                return BindScratch(statement, position, scratch, problem);
            }
        }
        const bool written = !rules.pattern().empty() ? rules.pattern().Write(datetime, scratch)
                                                      : rdxc::FormatDatetime(datetime, scratch);
        if (!written) {
            problem = "the value has no text form";
            return RDSTATUS_NODATETIME;
        }
        return BindScratch(statement, position, scratch, problem);
    }
    default:
        break;
    }
    // A text in UTF-8, SQLite's own, is bound where the field keeps it.
    const RDStream &text = *static_cast<RDStream *>(value);
    if (text.charset == RDCHARSET_INTERCHANGE)
        return BindText(statement, position, reinterpret_cast<const char *>(text.data),
                        text.data == nullptr ? 0 : text.length, problem);
    if (uint32_t status = rdxc::Utf8Of(text, scratch); status != RDSTATUS_OK) {
        problem = "the value has no text form";
        return status;
    }
    return BindScratch(statement, position, scratch, problem);
}

uint32_t StoreValue(sqlite3_stmt *statement, int column, uint32_t field, uint32_t type,
                    uint32_t index, rdxc::ValueRules &rules, std::string &problem) {
    const int storage = sqlite3_column_type(statement, column);
    if (storage == SQLITE_NULL) return RDFieldSetNull(field, index, 1);
    switch (type) {
    case RDTYPE_INT:
        return StoreInt(statement, column, field, index, problem);
    case RDTYPE_FLOAT:
        if (storage == SQLITE_TEXT)
            return StoreFromText(statement, column, field, type, index, rules, problem);
        if (storage == SQLITE_BLOB) break;
        {
            const double value = sqlite3_column_double(statement, column);
            return RDFieldSetFloat(field, index, &value);
        }
    case RDTYPE_CURRENCY:
        if (storage == SQLITE_FLOAT) {
            const double value = sqlite3_column_double(statement, column);
            RDCurrency amount{};
            if (uint32_t status = RDCurrencyFromFloat(&amount, &value); status != RDSTATUS_OK) {
                problem = ColumnText(statement, column) + " does not fit a currency field";
                return status;
            }
            return RDFieldSetCurrency(field, index, &amount);
        }
        if (storage == SQLITE_BLOB) break;
        return StoreFromText(statement, column, field, type, index, rules, problem);
    case RDTYPE_NUMERIC:
    case RDTYPE_DATETIME:
        if (storage == SQLITE_BLOB) break;
        return StoreFromText(statement, column, field, type, index, rules, problem);
    case RDTYPE_BINARY: {
        rdxc::OwnedStream bytes;
        const void *blob = sqlite3_column_blob(statement, column);
        const int length = sqlite3_column_bytes(statement, column);
        if (uint32_t status =
                bytes.Set(RDKIND_BINARY, std::string_view(static_cast<const char *>(blob),
                                                          static_cast<size_t>(length)));
            status != RDSTATUS_OK)
            return status;
        return RDFieldSetStream(field, index, bytes.get());
    }
    default: {
        // Text: SQLite gives every storage class as UTF-8.
        rdxc::OwnedStream text;
        if (uint32_t status = text.Set(RDCHARSET_INTERCHANGE, ColumnText(statement, column));
            status != RDSTATUS_OK)
            return status;
        return RDFieldSetStream(field, index, text.get());
    }
    }
    problem = "a binary value does not convert to a " + rdxc::ColumnTypeName({type, 0, 0});
    return RDSTATUS_BADKINDS;
}

} // namespace rdsqlite
