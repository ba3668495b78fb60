#include "csv_columns.h"

#include "rdx_field.h"

namespace rdcsv {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The entries of the list: split at commas outside parentheses.
std::vector<std::string_view> Entries(std::string_view text) {
    std::vector<std::string_view> entries;
    size_t start = 0, depth = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || (text[i] == ',' && depth == 0)) {
            entries.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && depth > 0) {
            --depth;
        }
    }
    return entries;
}

} // namespace

bool ParseColumnList(std::string_view text, std::vector<Column> &out, std::string &error) {
    out.clear();
    if (Trim(text).empty()) return true;
    for (std::string_view entry : Entries(text)) {
        Column column;
        std::string_view type = entry;
        if (const size_t colon = entry.rfind(':'); colon != std::string_view::npos) {
            column.name = Trim(entry.substr(0, colon));
            type = Trim(entry.substr(colon + 1));
        }
        if (!rdxc::ParseColumnType(type, column.type)) {
            error = "column " + std::to_string(out.size() + 1) + " has an unknown type \"" +
                    std::string(type) + "\"";
            return false;
        }
        out.push_back(std::move(column));
    }
    return true;
}

// Whether a number text would not come back as written: a plus sign or a
// leading zero ("007", "+5"), as codes and identifiers have them.
static bool NumberLosesItsForm(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return text.empty() || text.front() == '+' ||
           (text.size() > 1 && text[0] == '0' && text[1] >= '0' && text[1] <= '9');
}

void TypeInference::Add(size_t column, std::string_view text) {
    if (votes_.size() <= column) votes_.resize(column + 1);
    Votes &v = votes_[column];
    v.seen = true;
    const bool number = !NumberLosesItsForm(text);
    v.isInt = v.isInt && number && rdxc::TextIsInt(text);
    v.isDecimal = v.isDecimal && number && rdxc::TextIsDecimal(text);
    v.isDatetime = v.isDatetime && rdxc::TextIsDatetime(text);
}

rdxc::ColumnType TypeInference::Result(size_t column) const {
    rdxc::ColumnType type;
    type.type = RDTYPE_TEXT;
    if (column >= votes_.size() || !votes_[column].seen) return type;
    const Votes &v = votes_[column];
    if (v.isInt)
        type.type = RDTYPE_INT;
    else if (v.isDecimal)
        type.type = RDTYPE_NUMERIC;
    else if (v.isDatetime)
        type.type = RDTYPE_DATETIME;
    return type;
}

} // namespace rdcsv
