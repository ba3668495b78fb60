// SPDX-License-Identifier: Apache-2.0
#include "pg_placeholders.h"

#include <algorithm>
#include <cctype>

namespace rdcsm {

namespace {

// The end of the quoted text starting at at (a doubled quote stays inside).
std::size_t QuotedEnd(const std::string &sql, std::size_t at) {
    const char quote = sql[at];
    for (++at; at < sql.size(); ++at) {
        if (sql[at] != quote) continue;
        if (at + 1 < sql.size() && sql[at + 1] == quote) {
            ++at;
            continue;
        }
        return at + 1;
    }
    return sql.size();
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::string DollarPlaceholders(const std::string &sql) {
    std::string out;
    out.reserve(sql.size() + 8);
    int highest = 0;
    std::size_t at = 0;
    while (at < sql.size()) {
        const char c = sql[at];
        std::size_t end = at + 1;
        if (c == '\'' || c == '"') {
            end = QuotedEnd(sql, at);
        } else if (c == '-' && at + 1 < sql.size() && sql[at + 1] == '-') {
            end = std::min(sql.find('\n', at), sql.size());
        } else if (c == '?') {
            int number = 0;
            while (end < sql.size() && IsDigit(sql[end]) && number < 100000)
                number = number * 10 + (sql[end++] - '0');
            if (end == at + 1) number = highest + 1;
            highest = std::max(highest, number);
            out += '$' + std::to_string(number);
            at = end;
            continue;
        }
        out.append(sql, at, end - at);
        at = end;
    }
    return out;
}

} // namespace rdcsm
