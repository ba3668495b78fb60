// Field values as texts and back, the same way for every connector: whole
// texts only (a value followed by anything else does not convert), numbers
// without grouping, date-times as datetime_text.h writes them, binary values
// as hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

// A column's value type as written in a type list: "int", "float",
// "currency", "numeric", "numeric(P,S)", "datetime", "text", "binary" (and
// a few synonyms). Precision 0 means the field's own default.
struct ColumnType {
    uint32_t type = 0;
    uint32_t precision = 0;
    int32_t scale = 0;
};

bool ParseColumnType(std::string_view name, ColumnType &out);
std::string ColumnTypeName(const ColumnType &type);
// Makes field's format follow the column type (numeric precision and scale).
uint32_t ApplyColumnType(uint32_t field, const ColumnType &type);

// The text of value index of field (of type); isNull for a null value.
uint32_t ValueToText(uint32_t field, uint32_t type, uint32_t index, std::string &out, bool &isNull);
// Stores the UTF-8 text as value index of field (of type). A text that is
// not wholly a value of the type gives the type's status (12803-12807).
uint32_t TextToValue(uint32_t field, uint32_t type, uint32_t index, std::string_view text);

// Whether text reads as a value of type by the rules of TextToValue (for
// the number types and date-times; used to infer column types).
bool TextIsInt(std::string_view text);
bool TextIsDecimal(std::string_view text);
bool TextIsFloat(std::string_view text);
bool TextIsDatetime(std::string_view text);

} // namespace rdxc
