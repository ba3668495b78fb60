// SPDX-License-Identifier: Apache-2.0
// The values of an incremental key: the bookmark a run reads past, given
// as the library's text of a value of the key field's type, and the
// comparison of two of them by that type (numbers exactly, date-times by
// their instant, text by its bytes).
#pragma once

#include "decimal_text.h"
#include "rdx_datetime.h"
#include "value_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

// A key value of one field type, read from its text.
struct KeyValue {
    uint32_t type = 0;
    Decimal number;    // int, numeric, currency
    double real = 0;   // float
    RDDatetime when{}; // datetime (zone 0)
    std::string text;  // text and anything else: the bytes
};

// Reads text as a value of type. Numbers are decimal texts (a float's may
// have an exponent, "1.5e+020"); date-times the ISO forms of
// datetime_text.h, else the library's own date-time text. False when the
// text is not a value of the type.
bool ReadKey(uint32_t type, std::string_view text, KeyValue &out);
// -1, 0 or 1 as a orders before, with or after b (both of one type).
int CompareKeys(const KeyValue &a, const KeyValue &b);
// Both texts read as values of type and compared; false when one does not
// read.
bool CompareKeyTexts(uint32_t type, std::string_view a, std::string_view b, int &result);

// IncrementalOp: ">" (also the empty default) or ">="; false for another.
bool ParseKeyOp(std::string_view text, bool &orEqual);
// Whether a value that compared as comparison with the bookmark passes.
inline bool KeyPasses(int comparison, bool orEqual) {
    return comparison > 0 || (orEqual && comparison == 0);
}

// The key text as SQL servers read a value of any key type: numbers and
// ISO date-times as they are, the library's own date-time text as ISO.
std::string PortableKeyText(std::string_view text);

// A free-standing field of one value of type (its numeric digits as
// column) holding the key text, for a connector to bind as it writes
// values of that type. The caller frees it (RDFieldFree). Fails, with
// problem set, for a text that is not a value of the type.
uint32_t KeyField(const ColumnType &column, std::string_view text, uint32_t &field,
                  std::string &problem);

} // namespace rdxc
