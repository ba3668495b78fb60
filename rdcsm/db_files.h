// SPDX-License-Identifier: Apache-2.0
// The files of a database and their folder, checked before SQLite uses them.
// Another user who owns one of them, may write to one, or may swap one could
// read what is stored (the log holds every change before the database does)
// or change it, so such files are refused rather than adopted.
#pragma once

#include <string>

namespace rdcsm {

// Checks the folder of the database at path and each of its files that
// exists (the database, its rollback journal, its log and the log's index):
//  - the folder must belong to the user or root, and where others may write
//    in it, have the sticky bit (so that nobody else may remove or rename the
//    user's files there);
//  - each file must be a regular file of one name that belongs to the user
//    and that no one else may write to; one that others may only read is
//    made private.
// False with the folder or file and the reason in error.
bool CheckDatabaseFiles(const std::string &path, std::string &error);

} // namespace rdcsm
