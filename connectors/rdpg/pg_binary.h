// SPDX-License-Identifier: Apache-2.0
// Values in the server's binary formats, as COPY ... BINARY takes them and
// a binary FETCH returns them, converted from and to the engine's fields.
//
// Column type (oid)                 field type
//   bool, int2, int4                int
//   int8                            numeric(19,0)
//   float4, float8                  float
//   numeric [(P,S)]                 numeric (P,S)
//   date, timestamp, timestamptz    datetime (universal time)
//   text, varchar, bpchar, name     text
//   bytea                           binary
//   any other                       text (the cursor then returns texts)
//
// Timestamps carry microseconds, the engine's date-times hundredths: read
// values are rounded to the nearest hundredth (and counted). A number with
// more digits after the point than its column's scale (0 for the integer
// types) is refused, or rounded half to even under Rounding half-even.
#pragma once

#include "connector_values.h"
#include "decimal_text.h"
#include "sql_dialect.h"
#include "value_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdpg {

// Type oids, by the field type a column of them is read as (above).
enum IntOid : uint32_t { kBool = 16, kInt2 = 21, kInt4 = 23 };
enum NumericOid : uint32_t { kInt8 = 20, kNumeric = 1700 };
enum FloatOid : uint32_t { kFloat4 = 700, kFloat8 = 701 };
enum DatetimeOid : uint32_t { kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184 };
enum TextOid : uint32_t { kChar = 18, kName = 19, kText = 25, kBpchar = 1042, kVarchar = 1043 };
enum BinaryOid : uint32_t { kBytea = 17 };

// Whether the binary form of the column type is known here.
bool HasBinaryForm(uint32_t oid);
// The field type of a column of the type; modifier as PQfmod gives it.
rdxc::ColumnType FieldTypeOf(uint32_t oid, int modifier);
// The column type a table made from a field list declares.

// A column written to: its type and modifier (atttypmod, -1 for none).
struct ColumnKind {
    uint32_t oid = 0;
    int32_t modifier = -1;
};
// The scale of a numeric column's modifier; -1 for an unconstrained one.
int32_t NumericScale(int32_t modifier);

// Appends the binary form for the column of value index of field (of
// type) to out, or its length word -1 for a null value. A value that does
// not fit the column gives a status with problem set.
uint32_t AppendValue(const ColumnKind &column, uint32_t field, uint32_t type, uint32_t index,
                     const rdxc::ValueRules &rules, std::string &out, std::string &problem);
// Stores the bytes of a column of type oid as value index of field; text
// is the result's format (texts instead of binary forms).
uint32_t StoreValue(uint32_t oid, bool text, std::string_view bytes, uint32_t field, uint32_t type,
                    uint32_t index, rdxc::ValueRules &rules, std::string &problem);

// Decimal texts and the numeric binary form.
bool NumericFromText(std::string_view text, std::string &out);
// Appends the numeric binary form of value shown with `scale` digits after
// the point, its length word first: the bytes NumericFromText makes of its
// text, without the text. False (nothing appended) where that refuses the
// text.
bool EncodeNumeric(const rdxc::Decimal &value, int32_t scale, std::string &out);
bool NumericToText(std::string_view bytes, std::string &out);
bool NumericToDecimal(std::string_view bytes, rdxc::Decimal &out);

using rdxc::QuoteName;

} // namespace rdpg
