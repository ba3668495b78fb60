// The ends of a copy as users write them on the command line.
#pragma once

#include <string>

namespace rdx {

enum class EndKind { Csv, Sqlite, Postgres, Odbc };

struct Endpoint {
    EndKind kind = EndKind::Csv;
    std::string connector; // rdcsv, rdsqlite, rdpg, rdodbc
    // The file (absolute), the PostgreSQL connection string or URI, or the
    // ODBC data source.
    std::string location;
    std::string table; // empty for a CSV file, or when none was named
};

// The forms ParseEndpoint reads, one per line, for usage messages.
extern const char *const kEndpointForms;

// Reads text: FILE.csv or csv:PATH; sqlite:FILE[#TABLE]; postgresql://...[#TABLE]
// or postgres://...[#TABLE]; a libpq keyword string (it holds '='); or
// odbc:DSN[#TABLE]. The last '#' starts the table; table (--table) is the
// table of a SQL end that names none. False with error for any other form.
bool ParseEndpoint(const std::string &text, const std::string &table, Endpoint &out,
                   std::string &error);

} // namespace rdx
