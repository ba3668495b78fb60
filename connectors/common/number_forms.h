// SPDX-License-Identifier: Apache-2.0
// Numbers of field values in the forms targets bind or encode them, without
// a text between: a decimal as the double its text reads as, an amount as
// the library's text of it, a numeric field's value with the digits after
// the point it is written with.
#pragma once

#include "decimal_text.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"

#include <cstddef>
#include <cstdint>

namespace rdxc {

// The double that strtod gives for the text of value, computed from its
// digits when that is exact (at most 15 significant digits, a power of ten
// of at most 22: one correctly rounded operation on two exact doubles).
// False for other values, whose text must be read instead.
bool ExactDouble(const Decimal &value, double &out);

// The amount in ten-thousandths of a unit.
int64_t CurrencyUnits(const RDCurrency &amount);
// The text the library writes for an amount: '-' for a negative one, the
// whole units (none below one unit), '.' and four digits ("-.0005",
// "12.5000"). Written into buffer, of at least kCurrencyTextSize bytes; its
// length.
inline constexpr size_t kCurrencyTextSize = 32;
size_t CurrencyText(int64_t tenThousandths, char *buffer);

// Value index of numeric field as a decimal, and the digits after the point
// its text shows: the field's scale when the field has a precision, else
// the value's own. False for a record that is no valid numeric.
bool FieldDecimal(uint32_t field, const RDNumeric &record, Decimal &out, int32_t &shown);

} // namespace rdxc

namespace rdxc {

// The text FormatDatetime writes for value ("YYYY-MM-DD[ HH:MM:SS[.hh]]"),
// computed here for values made in universal time on a Gregorian date
// (from 1752-09-14); false for others, which FormatDatetime writes.
bool QuickDatetimeText(const RDDatetime &value, char *buffer, size_t &length);
// The most bytes QuickDatetimeText writes.
inline constexpr size_t kDatetimeTextSize = 32;

// Value index of a numeric field bound as a 64-bit integer (whole) or a
// double (a fraction of at most 15 significant digits and 22 places) for a
// column of `scale` digits after the point (-1: any), read straight from
// the record. False when the value needs the exact decimal route: more
// digits, digits beyond the column's scale, too large.
enum class QuickNumber { No, Whole, Real };
QuickNumber QuickNumeric(const RDNumeric &record, int32_t scale, int64_t &whole, double &real);

} // namespace rdxc
