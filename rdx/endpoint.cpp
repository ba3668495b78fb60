// SPDX-License-Identifier: Apache-2.0
#include "endpoint.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace rdx {

const char *const kEndpointForms = "  FILE.csv | csv:PATH\n"
                                   "  FILE.jsonl | FILE.ndjson[.gz] | jsonl:PATH\n"
                                   "  sqlite:FILE#TABLE | sqlite:FILE --table TABLE\n"
                                   "  postgresql://...#TABLE | postgres://...#TABLE\n"
                                   "  'host=... dbname=...' --table TABLE\n"
                                   "  mariadb://...#TABLE | mysql://...#TABLE\n"
                                   "  odbc:DSN#TABLE | odbc:DSN --table TABLE\n";

namespace {

bool StartsWith(const std::string &text, const char *prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Whether the file name ends with the extension, in any case, after
// something.
bool EndsWith(const std::string &text, std::string_view extension) {
    if (text.size() <= extension.size()) return false;
    std::string tail = text.substr(text.size() - extension.size());
    for (char &c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == extension;
}

bool IsJsonLinesName(const std::string &text) {
    for (const std::string_view extension : {".jsonl", ".ndjson", ".jsonl.gz", ".ndjson.gz"})
        if (EndsWith(text, extension)) return true;
    return false;
}

// A relative file name resolved against the current folder, because the
// connectors open it from other processes.
bool Absolute(const std::string &path, std::string &out, std::string &error) {
    if (path.empty()) {
        error = "an endpoint names no file";
        return false;
    }
    if (path[0] == '/') {
        out = path;
        return true;
    }
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        error = std::string("cannot tell the current folder: ") + std::strerror(errno);
        return false;
    }
    out = std::string(cwd) + "/" + path;
    return true;
}

bool File(EndKind kind, const char *connector, const std::string &path, Endpoint &out,
          std::string &error) {
    out.kind = kind;
    out.connector = connector;
    return Absolute(path, out.location, error);
}

// Splits "LOCATION#TABLE" at the last '#'; --table names the table of an
// end that names none (a location holding '#' ends with '#' to take it).
void SplitTable(const std::string &rest, const std::string &table, Endpoint &out) {
    const size_t hash = rest.rfind('#');
    out.location = rest.substr(0, hash);
    out.table = hash == std::string::npos ? "" : rest.substr(hash + 1);
    if (out.table.empty()) out.table = table;
}

bool Sql(EndKind kind, const char *connector, const std::string &rest, const std::string &table,
         Endpoint &out, std::string &error) {
    out.kind = kind;
    out.connector = connector;
    SplitTable(rest, table, out);
    if (out.location.empty()) {
        error = "an endpoint names no database";
        return false;
    }
    return kind != EndKind::Sqlite || Absolute(out.location, out.location, error);
}

} // namespace

bool ParseEndpoint(const std::string &text, const std::string &table, Endpoint &out,
                   std::string &error) {
    out = Endpoint();
    if (StartsWith(text, "sqlite:"))
        return Sql(EndKind::Sqlite, "rdsqlite", text.substr(7), table, out, error);
    if (StartsWith(text, "postgresql://") || StartsWith(text, "postgres://"))
        return Sql(EndKind::Postgres, "rdpg", text, table, out, error);
    if (StartsWith(text, "mariadb://") || StartsWith(text, "mysql://"))
        return Sql(EndKind::Mysql, "rdmysql", text, table, out, error);
    if (StartsWith(text, "odbc:"))
        return Sql(EndKind::Odbc, "rdodbc", text.substr(5), table, out, error);
    if (StartsWith(text, "csv:")) return File(EndKind::Csv, "rdcsv", text.substr(4), out, error);
    if (StartsWith(text, "jsonl:"))
        return File(EndKind::JsonLines, "rdjson", text.substr(6), out, error);
    if (EndsWith(text, ".csv")) return File(EndKind::Csv, "rdcsv", text, out, error);
    if (IsJsonLinesName(text)) return File(EndKind::JsonLines, "rdjson", text, out, error);
    if (text.find('=') != std::string::npos) {
        out.kind = EndKind::Postgres;
        out.connector = "rdpg";
        out.location = text;
        out.table = table;
        return true;
    }
    error = "cannot tell what " + text + " is";
    return false;
}

} // namespace rdx
