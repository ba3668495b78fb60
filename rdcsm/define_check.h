// SPDX-License-Identifier: Apache-2.0
// The checks of a job file that need more than the file itself: the links
// its activities name, and each value as the connector would take it.
#pragma once

#include "jobfile.h"
#include "store.h"

#include <string>
#include <vector>

namespace rdcsm {

// Checks the objects read from the job file at path (sources from the same
// reading): every property declared to name a link (RDX_ATTRIBUTE_LINKNAME)
// names a link of the file or of the store; every value of a link is taken
// by its connector's RDXSetProperty on a connection of its own, and every
// value of an activity by its connector's RDXCheckProperty when it has
// one. False with error naming the file, the line, the key and the
// connector's reason for the first value refused.
bool CheckJobObjects(Store &store, const std::string &path, const std::vector<JobObject> &objects,
                     const std::vector<JobSource> &sources, std::string &error);

} // namespace rdcsm
