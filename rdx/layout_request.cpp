// SPDX-License-Identifier: Apache-2.0
#include "layout_request.h"

namespace rdx {

namespace {

void Key(std::string &text, const char *key, const std::string &value) {
    if (!value.empty()) text += std::string(key) + "=" + value + "\n";
}

// Where the end's data is, as its link names it.
void Location(std::string &text, const Endpoint &end) {
    static const char *const kKeys[] = {"Path",       "Database", "Connection",
                                        "DataSource", "Path",     "Connection"};
    Key(text, kKeys[static_cast<int>(end.kind)], end.location);
    Key(text, "Table", end.table);
}

// ODBC drivers name their column types only once connected.
bool DescribesTable(const Endpoint &end) {
    return end.kind == EndKind::Sqlite || end.kind == EndKind::Postgres ||
           end.kind == EndKind::Mysql;
}

} // namespace

bool LayoutRequest(const CopyOptions &o, const Endpoint &source, const CopyJob &job,
                   std::string &text, std::string &error) {
    text = "[source]\nconnector=" + source.connector + "\n";
    Location(text, source);
    if (source.kind == EndKind::Csv) {
        Key(text, "Delimiter", o.delimiter);
        Key(text, "Charset", o.charset);
    }
    if (IsFile(source.kind)) Key(text, "Columns", o.columns);
    Key(text, "select", o.select);
    if (job.createsTarget && DescribesTable(job.target)) {
        text += "[target]\nconnector=" + job.target.connector + "\n";
        Location(text, job.target);
    }
    // Each line is one KEY=VALUE: a value may not end its line early.
    for (const std::string *value :
         {&o.select, &o.columns, &o.delimiter, &o.charset, &source.location, &source.table,
          &job.target.location, &job.target.table})
        if (value->find_first_of("\r\n") != std::string::npos)
            error = "a dry run cannot show the layout of a copy whose values hold line ends";
    return error.empty();
}

} // namespace rdx
