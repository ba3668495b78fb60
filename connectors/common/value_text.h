// SPDX-License-Identifier: Apache-2.0
// Field values as texts and back, the same way for every connector: whole
// texts only (a value followed by anything else does not convert), numbers
// without grouping, date-times as datetime_text.h writes them, binary values
// as hexadecimal digits.
#pragma once

#include "datetime_pattern.h"
#include "decimal_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

// A column's value type as written in a type list: "int", "bigint" (or
// "int64": numeric(19,0), the 64-bit integers), "float", "currency",
// "numeric", "numeric(P,S)", "datetime", "text", "binary" (and a few
// synonyms). Precision 0 means the field's own default.
struct ColumnType {
    uint32_t type = 0;
    uint32_t precision = 0;
    int32_t scale = 0;
};

bool ParseColumnType(std::string_view name, ColumnType &out);
// Spaces and tabs off both ends.
std::string_view TrimBlanks(std::string_view text);
// The entries of a list of columns ("id:int,amount:numeric(12,2)"): split
// at the commas outside parentheses, each trimmed.
std::vector<std::string_view> ColumnEntries(std::string_view text);
std::string ColumnTypeName(const ColumnType &type);
// Makes field's format follow the column type (numeric precision and scale).
uint32_t ApplyColumnType(uint32_t field, const ColumnType &type);
// Whether the type is numeric(19,0), the carrier of 64-bit integers.
bool IsBigint(const ColumnType &type);
// The column type of a field (its numeric precision and scale).
ColumnType FieldColumnType(uint32_t field, uint32_t type);

class ValueRules;

// The text of value index of field (of type); isNull for a null value. A
// numeric of a field with a precision is written with the field's scale
// (7600.00), one without with its shortest text; date-times in the rules'
// pattern when they have one.
uint32_t ValueToText(uint32_t field, uint32_t type, uint32_t index, std::string &out, bool &isNull,
                     const ValueRules *rules = nullptr);
// Stores the UTF-8 text as value index of field (of type). A text that is
// not wholly a value of the type gives the type's status (12803-12807); a
// number with more digits than the field holds before or after the point
// gives 12801 (RDSTATUS_NOFIT), unless the rules round the ones after it.
// Date-times are read by the rules' pattern first and counted there when
// rounded.
uint32_t TextToValue(uint32_t field, uint32_t type, uint32_t index, std::string_view text,
                     ValueRules *rules = nullptr);
// Stores the decimal as value index of numeric field as TextToValue stores
// its text (value is rescaled to the field's scale on the way).
uint32_t DecimalToValue(uint32_t field, uint32_t index, Decimal &value, const ValueRules *rules);
// Why TextToValue refused text with status when the reason is more than
// the text not being a value of the type: too many digits for the field, a
// date the engine's calendar lacks. Empty otherwise.
std::string ValueProblem(uint32_t field, uint32_t type, std::string_view text, uint32_t status);

// Whether text reads as a value of type by the rules of TextToValue (for
// the number types and date-times; used to infer column types).
bool TextIsInt(std::string_view text);
bool TextIsDecimal(std::string_view text);
bool TextIsFloat(std::string_view text);
bool TextIsDatetime(std::string_view text, const DatetimePattern *pattern = nullptr);

} // namespace rdxc
