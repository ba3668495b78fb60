// SPDX-License-Identifier: Apache-2.0
#include "connector_records.h"

#include "owned_stream.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace rdxc {

std::string FileIdentity(const std::string &path) {
    if (path.empty()) return std::string();
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    struct stat info {};
    const bool found = ::stat(resolved, &info) == 0;
    std::free(resolved);
    if (!found) return std::string();
    return std::to_string(static_cast<uint64_t>(info.st_dev)) + ":" +
           std::to_string(static_cast<uint64_t>(info.st_ino));
}

uint32_t PutBytes(uint32_t field, std::string_view bytes) {
    OwnedStream value;
    if (uint32_t status = value.Set(RDKIND_BINARY, bytes); status != RDSTATUS_OK) return status;
    return RDFieldSetStream(field, 1, value.get());
}

} // namespace rdxc
