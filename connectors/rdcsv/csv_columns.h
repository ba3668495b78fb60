// SPDX-License-Identifier: Apache-2.0
// The columns of a file: declared as a text such as
// "id:int,amount:numeric(12,2),when:datetime,name:text" (a name may be left
// out: "int,text" takes the names from the header), or inferred from the
// values of the first records (InferRows, or all of them).
#pragma once

#include "value_text.h"

#include <string>
#include <string_view>
#include <vector>

namespace rdcsv {

struct Column {
    std::string name;
    rdxc::ColumnType type;
};

// False with error set for an entry that names no known type.
bool ParseColumnList(std::string_view text, std::vector<Column> &out, std::string &error);

// Collects the values of the sample records, column by column: a column is
// int when every value is an integer of 32 bits, bigint (numeric(19,0))
// when every value is one of 64 bits, else numeric with the largest scale
// seen (and room for 18 digits before the point, or more when seen), else
// datetime (ISO forms, or the pattern when given), else text. A column
// without any value is text.
class TypeInference {
  public:
    explicit TypeInference(const rdxc::DatetimePattern *pattern = nullptr) : pattern_(pattern) {}
    void Add(size_t column, std::string_view text);
    rdxc::ColumnType Result(size_t column) const;

  private:
    struct Votes {
        bool seen = false, isInt = true, isBigint = true, isDecimal = true, isDatetime = true;
        int64_t scale = 0, integerDigits = 0; // the largest of the decimals
    };
    const rdxc::DatetimePattern *pattern_;
    std::vector<Votes> votes_;
};

} // namespace rdcsv
