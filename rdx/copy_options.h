// SPDX-License-Identifier: Apache-2.0
// The command line of `rdx copy`.
#pragma once

#include <string>
#include <vector>

namespace rdx {

struct CopyOptions {
    std::string source, target;
    std::string home; // --home; empty: the default copy home
    std::string table, select, onError, rejects, columns, delimiter, charset;
    std::string save, name;
    std::string mode;      // --mode (--create: "create"); empty: chosen by the target
    std::string key;       // --key: the columns an upsert or delete-insert merges by
    std::string keyColumn; // --key-column: the columns that order the source's records
    std::string incrementalKey, incrementalBy; // --incremental-key, --incremental-by
    unsigned long batch = 0;                   // 0: the copy's default
    bool create = false, resume = false, fullRefresh = false, dryRun = false, help = false;
};

// Reads the arguments after "copy". False with error (a usage message) when
// an option is unknown, lacks its value or has a bad one, or the endpoints
// are not exactly two.
bool ParseCopyOptions(const std::vector<std::string> &args, CopyOptions &options,
                      std::string &error);

} // namespace rdx
