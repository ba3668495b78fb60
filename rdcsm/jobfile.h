// SPDX-License-Identifier: Apache-2.0
// Job files: activities and links with their descriptions in TOML, read by
// `rdcsm define` (jobfile.cpp) and written by `rdcsm export`
// (jobfile_write.cpp).
//
//   [activity.load]
//   connector = "copier"        # the activity's connector (0x30001)
//   Link = "source"             # a built-in name
//   0x00000005 = 41             # a number: Int
//   0x00000006 = 1.5            # Float; "text" is text; a date-time is Datetime
//   0x00000007 = { currency = "12.5" }
//   0x00000008 = { type = 4, charset = 0, hex = "0a0b..." }   # any value as bytes
//   [link.source]
//   Server = "db1"
#pragma once

#include "items.h"
#include "store.h"

#include <string>
#include <vector>

namespace rdcsm {

struct JobObject {
    ObjectKind kind;
    std::string name;
    std::vector<Item> items;
};

// Where an object and each of its items stand in the job file, for the
// checks made once the whole file is read.
struct JobSource {
    std::size_t line = 0;               // the object's table
    std::vector<std::size_t> itemLines; // in the order of the object's items
    std::vector<std::string> itemKeys;  // each item's key as written
};

// Reads the job file at path, a regular file, keeping the order of each
// object's properties; false with error naming the file, the line and the
// key of the first fault, or when it defines nothing. Every key must be a
// property the named connector declares (or a number, or a built-in name),
// of its type: a yes/no word (yes, no, true, false, on, off) is an Int 1 or
// 0, and a link connector judges other texts for its Int properties itself
// (define_check.h).
bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects, std::string &error);
bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects,
                 std::vector<JobSource> &sources, std::string &error);

// Creates or replaces the objects, in one transaction.
void DefineObjects(Store &store, const std::vector<JobObject> &objects);

struct ExportOptions {
    // Passwords written as { withheld = ... } placeholders that define refuses.
    bool withholdSecrets = false;
};

// Every activity and link of the store as a job file that define reads back
// as the same descriptions, byte for byte; false with error naming an object
// that no job file can hold (an item numbered 0 or a number stored twice, a
// name that is not UTF-8 text).
bool ExportJobFile(Store &store, const ExportOptions &options, std::string &text,
                   std::string &error);

} // namespace rdcsm
