// SPDX-License-Identifier: Apache-2.0
#include "copy_job.h"

#include "toml_text.h"

#include <cctype>
#include <sys/stat.h>

namespace rdx {

namespace {

constexpr size_t kNameLimit = 64;

bool Plain(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The file name without its folder and extension.
std::string Stem(const std::string &path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Label(const Endpoint &end) {
    if (!end.table.empty()) return end.table;
    if (IsFile(end.kind) || end.kind == EndKind::Sqlite) return Stem(end.location);
    return end.connector;
}

std::string Sanitized(const std::string &text) {
    std::string out;
    for (const char c : text)
        out += Plain(c) ? c : '_';
    return out;
}

bool Exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

void Key(std::string &toml, const char *key, const std::string &value) {
    if (!value.empty()) toml += std::string(key) + " = " + TomlString(value) + "\n";
}

std::string Link(const std::string &name, const Endpoint &end, const CopyOptions &o, bool target) {
    std::string toml = "[link." + name + "]\nconnector = " + TomlString(end.connector) + "\n";
    switch (end.kind) {
    case EndKind::Csv:
        Key(toml, "Path", end.location);
        Key(toml, "Delimiter", o.delimiter);
        Key(toml, "Charset", o.charset);
        if (!target) Key(toml, "Columns", o.columns);
        break;
    case EndKind::JsonLines:
        Key(toml, "Path", end.location);
        if (!target) Key(toml, "Columns", o.columns);
        break;
    case EndKind::Sqlite:
        Key(toml, "Database", end.location);
        break;
    case EndKind::Postgres:
    case EndKind::Mysql:
        Key(toml, "Connection", end.location);
        break;
    case EndKind::Odbc:
        Key(toml, "DataSource", end.location);
        break;
    }
    Key(toml, "Table", end.table);
    if (target && (IsFile(end.kind) || end.kind == EndKind::Sqlite)) toml += "Create = 1\n";
    return toml;
}

// What the copy does to its target table: --mode (or --create); without,
// a target that cannot hold a table yet (a CSV or SQLite file not made) is
// created and any other is appended to.
std::string ModeOf(const CopyOptions &o, const Endpoint &target) {
    if (!o.mode.empty()) return o.mode;
    const bool missing =
        (IsFile(target.kind) || target.kind == EndKind::Sqlite) && !Exists(target.location);
    return missing ? "create" : "append";
}

std::string Activity(const CopyJob &job, const CopyOptions &o, const std::string &mode) {
    std::string toml = "[activity." + job.name + "]\nconnector = \"rdcopy\"\n";
    toml += "SourceLink = " + TomlString(job.name + "_source") + "\n";
    toml += "TargetLink = " + TomlString(job.name + "_target") + "\n";
    Key(toml, "SourceSelect", o.select);
    if (o.batch != 0) toml += "BatchSize = " + std::to_string(o.batch) + "\n";
    toml += "Mode = " + TomlString(mode) + "\n";
    Key(toml, "Key", o.key);
    Key(toml, "KeyColumn", o.keyColumn);
    Key(toml, "IncrementalKey", o.incrementalKey);
    Key(toml, "IncrementalBy", o.incrementalBy);
    Key(toml, "OnError", o.onError);
    Key(toml, "Rejects", o.rejects);
    return toml;
}

bool CheckEnds(const CopyOptions &o, const Endpoint &source, const Endpoint &target,
               std::string &error) {
    const bool anyCsv = source.kind == EndKind::Csv || target.kind == EndKind::Csv;
    if (!IsFile(source.kind) && source.table.empty() && o.select.empty())
        error = "name the source's table (#TABLE or --table) or give --select";
    else if (!IsFile(target.kind) && target.table.empty())
        error = "name the target's table (#TABLE or --table)";
    else if (!o.columns.empty() && !IsFile(source.kind))
        error = "--columns declares the columns of a CSV or JSON Lines source";
    else if ((!o.delimiter.empty() || !o.charset.empty()) && !anyCsv)
        error = "--delimiter and --charset are for CSV files";
    else if (!o.select.empty() && IsFile(source.kind))
        error = "--select is for a SQL source";
    else if (o.incrementalBy == "offset" && source.kind != EndKind::Csv)
        error = "--incremental-by offset reads a CSV source on from where the last run ended";
    return error.empty();
}

bool CheckName(const std::string &name, std::string &error) {
    bool plain = !name.empty() && name.size() <= kNameLimit;
    for (const char c : name)
        plain = plain && (Plain(c) || c == '-');
    if (!plain) error = "--name takes letters, digits, '_' and '-', at most 64";
    return plain;
}

} // namespace

std::string DefaultCopyName(const Endpoint &source, const Endpoint &target) {
    return Sanitized(Label(source) + "_to_" + Label(target)).substr(0, kNameLimit);
}

bool BuildCopyJob(const CopyOptions &o, const Endpoint &source, Endpoint target, CopyJob &job,
                  std::string &error) {
    // A new SQL table is named after the source when no name is given.
    if (!IsFile(target.kind) && target.table.empty()) {
        const std::string label = IsFile(source.kind) ? Stem(source.location) : source.table;
        target.table = Sanitized(label);
    }
    if (!CheckEnds(o, source, target, error)) return false;
    job.name = o.name.empty() ? DefaultCopyName(source, target) : o.name;
    if (!CheckName(job.name, error)) return false;
    job.text = "# Written by rdx copy.\n\n";
    job.text += Link(job.name + "_source", source, o, false) + "\n";
    job.text += Link(job.name + "_target", target, o, true) + "\n";
    job.target = target;
    const std::string mode = ModeOf(o, target);
    job.createsTarget = mode == "create" || mode == "replace";
    job.text += Activity(job, o, mode);
    return true;
}

} // namespace rdx
