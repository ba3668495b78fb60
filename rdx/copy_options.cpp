// SPDX-License-Identifier: Apache-2.0
#include "copy_options.h"

#include <cctype>

namespace rdx {

namespace {

// The options that take a value, and where it goes.
std::string *ValueOf(const std::string &option, CopyOptions &o, std::string &batch) {
    struct Entry {
        const char *name;
        std::string CopyOptions::*field;
    };
    static const Entry kEntries[] = {
        {"--home", &CopyOptions::home},
        {"--table", &CopyOptions::table},
        {"--select", &CopyOptions::select},
        {"--on-error", &CopyOptions::onError},
        {"--rejects", &CopyOptions::rejects},
        {"--columns", &CopyOptions::columns},
        {"--delimiter", &CopyOptions::delimiter},
        {"--charset", &CopyOptions::charset},
        {"--save", &CopyOptions::save},
        {"--name", &CopyOptions::name},
        {"--mode", &CopyOptions::mode},
        {"--key", &CopyOptions::key},
        {"--key-column", &CopyOptions::keyColumn},
        {"--incremental-key", &CopyOptions::incrementalKey},
        {"--incremental-by", &CopyOptions::incrementalBy},
    };
    if (option == "--batch") return &batch;
    for (const Entry &entry : kEntries)
        if (option == entry.name) return &(o.*entry.field);
    return nullptr;
}

bool Flag(const std::string &option, CopyOptions &o) {
    if (option == "--create")
        o.create = true;
    else if (option == "--resume")
        o.resume = true;
    else if (option == "--full-refresh")
        o.fullRefresh = true;
    else if (option == "--dry-run")
        o.dryRun = true;
    else if (option == "--help" || option == "-h")
        o.help = true;
    else
        return false;
    return true;
}

bool ParseBatch(const std::string &text, unsigned long &batch) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    batch = std::stoul(text);
    return batch > 0;
}

bool KnownMode(const std::string &mode) {
    return mode == "create" || mode == "append" || mode == "replace" || mode == "truncate" ||
           mode == "upsert" || mode == "delete-insert";
}

bool Merges(const std::string &mode) {
    return mode == "upsert" || mode == "delete-insert";
}

// The incremental options among themselves and with the mode: each run
// copies only what is new, so a mode that empties the table each run would
// lose what the earlier runs copied.
bool CheckIncremental(const CopyOptions &o, std::string &error) {
    const std::string &by = o.incrementalBy;
    if (!by.empty() && by != "key" && by != "offset")
        error = "--incremental-by takes key or offset";
    else if (by == "offset" && !o.incrementalKey.empty())
        error = "--incremental-by offset reads a CSV file on from where the last run ended; it "
                "does not go with --incremental-key";
    else if (by == "key" && o.incrementalKey.empty())
        error = "--incremental-by key needs the column in --incremental-key";
    else if ((!by.empty() || !o.incrementalKey.empty()) &&
             (o.mode == "replace" || o.mode == "truncate"))
        error = "an incremental copy does not go with --mode " + o.mode +
                ": each run would take away what the earlier runs copied (use --full-refresh "
                "to start again)";
    return error.empty();
}

bool CheckValues(CopyOptions &o, std::string &error) {
    if (!o.mode.empty() && !KnownMode(o.mode))
        error = "--mode takes create, append, replace, truncate, upsert or delete-insert";
    else if (Merges(o.mode) && o.key.empty())
        error = "--mode " + o.mode + " needs the key columns in --key (for example --key id)";
    else if (o.create && !o.mode.empty() && o.mode != "create")
        error = "--create is --mode create; it does not go with --mode " + o.mode;
    else if (!o.onError.empty() && o.onError != "stop" && o.onError != "skip")
        error = "--on-error takes stop or skip";
    else if (!o.rejects.empty() && o.onError != "skip")
        error = "--rejects needs --on-error skip";
    else if (!o.save.empty() && o.dryRun)
        error = "--save and --dry-run do not go together";
    else if (o.resume && o.fullRefresh)
        error = "--full-refresh does not go with --resume: a copy either goes on from where "
                "the last run stopped or starts again from nothing";
    else
        CheckIncremental(o, error);
    if (o.create) o.mode = "create";
    return error.empty();
}

} // namespace

bool ParseCopyOptions(const std::vector<std::string> &args, CopyOptions &o, std::string &error) {
    std::vector<std::string> endpoints;
    std::string batch;
    bool onlyEndpoints = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (onlyEndpoints || arg.size() < 2 || arg[0] != '-') {
            endpoints.push_back(arg);
        } else if (arg == "--") {
            onlyEndpoints = true;
        } else if (Flag(arg, o)) {
        } else if (std::string *value = ValueOf(arg, o, batch)) {
            if (i + 1 == args.size()) {
                error = arg + " needs a value";
                return false;
            }
            *value = args[++i];
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (o.help) return true;
    if (!batch.empty() && !ParseBatch(batch, o.batch)) {
        error = "--batch takes a number of records from 1 to 999999999";
        return false;
    }
    if (endpoints.size() != 2) {
        error = "copy takes a SOURCE and a TARGET";
        return false;
    }
    o.source = endpoints[0];
    o.target = endpoints[1];
    return CheckValues(o, error);
}

} // namespace rdx
