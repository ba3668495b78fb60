// SPDX-License-Identifier: Apache-2.0
#include "sql_statements.h"

namespace rdxc {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A byte of a name or keyword; '$' counts inside one (PostgreSQL), so that
// "a$b$" is no dollar quote. Bytes of multi-byte characters count too.
bool IsWordByte(char c, bool first) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || u >= 0x80 ||
           (!first && ((c >= '0' && c <= '9') || c == '$'));
}

// The end of a text enclosed by close, opened at open: a doubled close
// stands for itself, a backslash (with escapes) hides the next byte. An
// unclosed one runs to the end of sql.
size_t EnclosedEnd(std::string_view sql, size_t open, char close, bool escapes) {
    for (size_t i = open + 1; i < sql.size(); ++i) {
        if (escapes && sql[i] == '\\') {
            ++i;
        } else if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close && close != ']') {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return sql.size();
}

size_t BlockCommentEnd(std::string_view sql, size_t open, bool nested) {
    int depth = 0;
    for (size_t i = open; i + 1 < sql.size(); ++i) {
        if (sql[i] == '/' && sql[i + 1] == '*' && (nested || depth == 0)) {
            ++depth;
            ++i;
        } else if (sql[i] == '*' && sql[i + 1] == '/') {
            if (--depth == 0) return i + 2;
            ++i;
        }
    }
    return sql.size();
}

// The end of "$tag$ ... $tag$" opened at open, or open when no dollar
// quote starts there ("$1" is a parameter).
size_t DollarQuoteEnd(std::string_view sql, size_t open) {
    size_t i = open + 1;
    while (i < sql.size() && IsWordByte(sql[i], i == open + 1) && sql[i] != '$')
        ++i;
    if (i >= sql.size() || sql[i] != '$') return open;
    const std::string_view tag = sql.substr(open, i + 1 - open);
    const size_t close = sql.find(tag, i + 1);
    return close == std::string_view::npos ? sql.size() : close + tag.size();
}

// The end of a comment starting at i, or i when none starts there.
size_t CommentEnd(std::string_view sql, size_t i, const SqlDialect &d) {
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    const bool dashes = sql[i] == '-' && next == '-' &&
                        (!d.dashNeedsBlank || i + 2 >= sql.size() || IsBlank(sql[i + 2]) ||
                         static_cast<unsigned char>(sql[i + 2]) < 0x20);
    if (dashes || (d.hashComments && sql[i] == '#')) {
        const size_t end = sql.find('\n', i);
        return end == std::string_view::npos ? sql.size() : end + 1;
    }
    if (sql[i] == '/' && next == '*') return BlockCommentEnd(sql, i, d.nestedComments);
    return i;
}

// The end of the token of the statement starting at i (a literal, quoted
// name, word or single byte).
size_t TokenEnd(std::string_view sql, size_t i, const SqlDialect &d) {
    const char c = sql[i];
    if (c == '\'') return EnclosedEnd(sql, i, '\'', d.backslashEscapes);
    if (c == '"') return EnclosedEnd(sql, i, '"', false);
    if (c == '`' && d.backticks) return EnclosedEnd(sql, i, '`', false);
    if (c == '[' && d.brackets) return EnclosedEnd(sql, i, ']', false);
    if (c == '$' && d.dollarQuotes) {
        const size_t end = DollarQuoteEnd(sql, i);
        return end > i ? end : i + 1;
    }
    if (!IsWordByte(c, true)) return i + 1;
    size_t end = i + 1;
    while (end < sql.size() && IsWordByte(sql[end], false))
        ++end;
    if (d.escapeStrings && end == i + 1 && (c == 'E' || c == 'e') && end < sql.size() &&
        sql[end] == '\'')
        return EnclosedEnd(sql, end, '\'', true);
    return end;
}

std::string Excerpt(std::string_view sql, size_t at) {
    std::string excerpt(sql.substr(at, 40));
    for (char &c : excerpt) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return excerpt + (sql.size() - at > 40 ? "..." : "");
}

// One reading: [begin, end) of the statement, or the offset of a second
// one in second.
void Read(std::string_view sql, const SqlDialect &d, size_t &begin, size_t &end, size_t &second) {
    enum { Before, In, After } state = Before;
    begin = end = sql.size();
    second = std::string_view::npos;
    for (size_t i = 0; i < sql.size();) {
        if (IsBlank(sql[i])) {
            ++i;
        } else if (const size_t comment = CommentEnd(sql, i, d); comment > i) {
            i = comment;
        } else if (sql[i] == ';') {
            if (state == In) {
                end = i;
                state = After;
            }
            ++i;
        } else if (state == After) {
            second = i;
            return;
        } else {
            if (state == Before) {
                begin = i;
                state = In;
            }
            i = TokenEnd(sql, i, d);
        }
    }
    if (state == In) end = sql.size();
}

} // namespace

bool SingleStatement(std::string_view sql, std::span<const SqlDialect> readings,
                     std::string_view &statement, std::string &error) {
    statement = std::string_view();
    for (size_t r = 0; r < readings.size(); ++r) {
        size_t begin = 0, end = 0, second = 0;
        Read(sql, readings[r], begin, end, second);
        if (second != std::string_view::npos) {
            error = "the select text holds more than one statement: a second begins at byte " +
                    std::to_string(second + 1) + " (\"" + Excerpt(sql, second) + "\")";
            return false;
        }
        if (r == 0) statement = sql.substr(begin, end - begin);
    }
    return true;
}

bool SelectStatement(std::string_view sql, std::span<const SqlDialect> readings, std::string &out,
                     std::string &error) {
    std::string_view statement;
    if (!SingleStatement(sql, readings, statement, error)) return false;
    out.assign(statement.empty() ? sql : statement);
    return true;
}

} // namespace rdxc
