// Job files: activities and links with their descriptions in TOML, read by
// `rdcsm define` and written by `rdcsm export`.
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

// Reads the job file at path; false with error naming the file, the line
// and the key of the first fault.
bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects, std::string &error);

// Creates or replaces the objects, in one transaction.
void DefineObjects(Store &store, const std::vector<JobObject> &objects);

// Every activity and link of the store as a job file.
std::string ExportJobFile(Store &store);

} // namespace rdcsm
