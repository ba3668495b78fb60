// SPDX-License-Identifier: Apache-2.0
// Column-wise arrays of values as ODBC binds them: one C type, a fixed
// width per value and a length/indicator per value. Result columns are
// stored from them into fields; parameter columns are filled from fields.
#pragma once

#include "connector_values.h"
#include "odbc_handle.h"
#include "odbc_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rdodbc {

// The longest character or binary value bound for a result column; a
// longer value fails its row instead of being cut.
constexpr SQLLEN kLongestValue = 65536;

// The column of the table a parameter goes to, as the driver describes it
// (sqlType 0 when not known); exactDigits: the data source keeps numbers
// in 64-bit floats (SQLite), so a number column holds at most 15
// significant digits exactly besides its whole numbers of 64 bits.
// byValue: a column without affinity that keeps each value as it is bound
// (SQLite's DECIMAL BLOB): a number goes there through three parameters,
// COALESCE(?, ?, ?), an integer, a float or a text, as it is held exactly.
struct ParameterTarget {
    SQLSMALLINT sqlType = 0;
    SQLSMALLINT digits = -1;
    bool exactDigits = false;
    bool byValue = false;
};

class ColumnArray {
  public:
    // Prepares rows values for a result column of sqlType and size read
    // into a field of fieldType.
    void ForResult(uint32_t fieldType, SQLSMALLINT sqlType, SQLULEN size, size_t rows);
    // Stores the value of row into value index of field; problem says why
    // a value does not fit.
    // Date-time fractions finer than hundredths are rounded and counted,
    // texts read by the rules.
    uint32_t Store(size_t row, uint32_t field, uint32_t fieldType, uint32_t index,
                   rdxc::ValueRules &rules, std::string &problem) const;

    // Fills count values from values first... of field (of fieldType) for
    // the target column: numbers to an integer column as 64-bit integers,
    // to a numeric one with at most its digits after the point (else
    // refused, or rounded by the rules). badRow is the offset of a value
    // that cannot be sent.
    uint32_t FromField(uint32_t field, uint32_t fieldType, uint32_t first, size_t count,
                       const ParameterTarget &target, const rdxc::ValueRules &rules, size_t &badRow,
                       std::string &problem);

    // The three parameters of a byValue column: each number into the one
    // that holds it exactly (a whole one of 64 bits, one of 15 significant
    // digits, else its text), the others null.
    static uint32_t SplitFromField(uint32_t field, uint32_t fieldType, uint32_t first, size_t count,
                                   const ParameterTarget &target, const rdxc::ValueRules &rules,
                                   ColumnArray *parts, size_t &badRow, std::string &problem);

    SQLSMALLINT cType() const { return cType_; }
    SQLSMALLINT sqlType() const { return sqlType_; }
    SQLULEN columnSize() const { return columnSize_; }
    SQLSMALLINT digits() const { return digits_; }
    SQLLEN width() const { return width_; }
    SQLPOINTER data() { return bytes_.data(); }
    SQLLEN *indicators() { return indicators_.data(); }
    size_t BytesPerRow() const { return static_cast<size_t>(width_) + sizeof(SQLLEN); }

  private:
    void Shape(SQLSMALLINT cType, SQLLEN width, size_t rows);
    const char *At(size_t row) const { return bytes_.data() + row * static_cast<size_t>(width_); }
    char *At(size_t row) { return bytes_.data() + row * static_cast<size_t>(width_); }
    uint32_t StoreDatetime(size_t row, uint32_t field, uint32_t index, rdxc::ValueRules &rules,
                           std::string &problem) const;
    uint32_t TextsFromField(uint32_t field, uint32_t fieldType, uint32_t first, size_t count,
                            const ParameterTarget &target, const rdxc::ValueRules &rules,
                            size_t &badRow, std::string &problem);
    uint32_t IntegersFromField(uint32_t field, uint32_t fieldType, uint32_t first, size_t count,
                               const rdxc::ValueRules &rules, size_t &badRow, std::string &problem);

    SQLSMALLINT cType_ = SQL_C_CHAR;
    SQLSMALLINT sqlType_ = SQL_VARCHAR;
    SQLULEN columnSize_ = 0;
    SQLSMALLINT digits_ = 0;
    SQLLEN width_ = 0;
    std::vector<char> bytes_;
    std::vector<SQLLEN> indicators_;
};

} // namespace rdodbc
