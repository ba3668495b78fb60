// SPDX-License-Identifier: Apache-2.0
// The fields of a JSON Lines file: declared as a text such as
// "id:int,price:numeric(12,2),at:datetime,name:text,ok:bool,tags:json"
// (every entry names its key), or inferred from the values of the first
// lines, in the order their keys first appear.
#pragma once

#include "value_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdjson {

// How a field's values are written: as the field's type gives them, as
// true/false (an int field), as JSON text put in place unquoted (a text
// field holding a nested object or array), or as the members of the JSON
// object it holds (the extra field of UnknownKeys keep).
enum class Form { Plain, Bool, Json, Spread };

struct Column {
    std::string name;
    rdxc::ColumnType type;
    Form form = Form::Plain;
};

// False with error set for an entry without a name, of an unknown type, or
// whose name comes twice.
bool ParseColumnList(std::string_view text, std::vector<Column> &out, std::string &error);

// The kinds of JSON value that inference tells apart.
enum class Kind { Null, Bool, Number, String, Nested };

// Collects the values of the sample lines, column by column: a column of
// booleans is bool; of numbers, int when all are integers of 32 bits,
// bigint (numeric(19,0)) when of 64 bits, numeric with the largest scale
// seen when all are written without an exponent (exact, however many
// digits, up to numeric's 88), else float; of strings, datetime when all
// are ISO date-times (or of the pattern), else text; of objects and arrays,
// json; of mixed kinds, text. Nulls say nothing; a column of nulls is text.
class TypeInference {
  public:
    explicit TypeInference(const rdxc::DatetimePattern *pattern = nullptr) : pattern_(pattern) {}
    // text: a number's JSON text, a string's value.
    void Add(size_t column, Kind kind, std::string_view text);
    Column Result(size_t column) const;

  private:
    struct Votes {
        bool seen = false, mixed = false;
        Kind kind = Kind::Null;
        bool isInt = true, isBigint = true, isDecimal = true, isDatetime = true;
        int64_t scale = 0, integerDigits = 0;
    };
    const rdxc::DatetimePattern *pattern_;
    std::vector<Votes> votes_;
};

} // namespace rdjson
