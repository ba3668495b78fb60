// The columns of a file: declared as a text such as
// "id:int,amount:numeric(12,2),when:datetime,name:text" (a name may be left
// out: "int,text" takes the names from the header), or inferred from the
// values of the first records.
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
// int when every value is, else numeric, else datetime, else text. A column
// without any value is text.
class TypeInference {
  public:
    void Add(size_t column, std::string_view text);
    rdxc::ColumnType Result(size_t column) const;

  private:
    struct Votes {
        bool seen = false, isInt = true, isDecimal = true, isDatetime = true;
    };
    std::vector<Votes> votes_;
};

} // namespace rdcsv
