// SPDX-License-Identifier: Apache-2.0
// Whether a select text is one statement. A database given "SELECT ...;
// DROP TABLE t" may run both (PostgreSQL's simple queries do) or quietly
// run only the first (SQLite's prepare): a select text must hold exactly
// one statement, followed at most by semicolons, blanks and comments.
// Semicolons inside string literals, quoted names, comments and (for
// PostgreSQL) dollar-quoted texts do not end a statement.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rdxc {

// How a database reads the parts of a text that may hold a ';'. Every
// dialect knows 'strings' with '' inside, "names" with "" inside, "--"
// comments to the line end and "/* */" comments.
struct SqlDialect {
    bool backslashEscapes = false; // a backslash escapes the next byte in '...'
    bool escapeStrings = false;    // E'...' takes backslash escapes
    bool dollarQuotes = false;     // $tag$ ... $tag$
    bool nestedComments = false;   // /* /* */ */
    bool backticks = false;        // `name`
    bool brackets = false;         // [name]
    bool hashComments = false;     // # to the line end
    bool dashNeedsBlank = false;   // "--" begins a comment only before a blank
};

inline constexpr SqlDialect kSqliteDialect{.backticks = true, .brackets = true};
// standardStrings: the server's standard_conforming_strings is on.
constexpr SqlDialect PostgresDialect(bool standardStrings) {
    return {.backslashEscapes = !standardStrings,
            .escapeStrings = true,
            .dollarQuotes = true,
            .nestedComments = true};
}
// A database not known (ODBC): the text is read both the standard way and
// the way of databases that take backslash escapes and '#' comments, and a
// second statement in either reading counts.
inline constexpr SqlDialect kUnknownDialects[] = {{.backticks = true, .brackets = true},
                                                  {.backslashEscapes = true,
                                                   .backticks = true,
                                                   .brackets = true,
                                                   .hashComments = true,
                                                   .dashNeedsBlank = true}};

// The statement of sql (leading blanks and comments, and its trailing
// semicolons with what follows them, cut off) read in each of readings;
// false with error when a second statement follows the first in any.
bool SingleStatement(std::string_view sql, std::span<const SqlDialect> readings,
                     std::string_view &statement, std::string &error);
inline bool SingleStatement(std::string_view sql, const SqlDialect &dialect,
                            std::string_view &statement, std::string &error) {
    return SingleStatement(sql, std::span<const SqlDialect>(&dialect, 1), statement, error);
}

// The text to run for the select text sql: its statement as above, or sql
// itself when that holds none (the database then says what is wrong).
bool SelectStatement(std::string_view sql, std::span<const SqlDialect> readings, std::string &out,
                     std::string &error);
inline bool SelectStatement(std::string_view sql, const SqlDialect &dialect, std::string &out,
                            std::string &error) {
    return SelectStatement(sql, std::span<const SqlDialect>(&dialect, 1), out, error);
}

} // namespace rdxc
