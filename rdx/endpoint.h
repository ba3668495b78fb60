// SPDX-License-Identifier: Apache-2.0
// The ends of a copy as users write them on the command line.
#pragma once

#include <string>

namespace rdx {

enum class EndKind { Csv, Sqlite, Postgres, Odbc, JsonLines, Mysql };

// Whether the end is a file of records (a delimited or JSON Lines file)
// rather than a table of a database.
inline bool IsFile(EndKind kind) {
    return kind == EndKind::Csv || kind == EndKind::JsonLines;
}

struct Endpoint {
    EndKind kind = EndKind::Csv;
    std::string connector; // rdcsv, rdsqlite, rdpg, rdodbc, rdjson, rdmysql
    // The file (absolute), the PostgreSQL connection string or URI, the
    // ODBC data source, or the MariaDB URI.
    std::string location;
    std::string table; // empty for a CSV file, or when none was named
};

// The forms ParseEndpoint reads, one per line, for usage messages.
extern const char *const kEndpointForms;

// Reads text: FILE.csv or csv:PATH; FILE.jsonl, FILE.ndjson (either also
// .gz) or jsonl:PATH; sqlite:FILE[#TABLE]; postgresql://...[#TABLE] or
// postgres://...[#TABLE]; a libpq keyword string (it holds '=');
// mariadb://...[#TABLE] or mysql://...[#TABLE]; or odbc:DSN[#TABLE]. The last '#' starts the table;
// table (--table) is the table of a SQL end that names none. False with error for any other form.
bool ParseEndpoint(const std::string &text, const std::string &table, Endpoint &out,
                   std::string &error);

} // namespace rdx
