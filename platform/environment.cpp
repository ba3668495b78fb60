// SPDX-License-Identifier: Apache-2.0
// Environment variables of the process.
#include "rdplat_env.h"
#include "rdplat_mem.h"

#include <cstdlib>
#include <cstring>
#include <limits>

extern "C" {

RD_EXPORT uint32_t RDPlatGetEnv(const char *name, char *out, uint32_t *length) {
    if (out == nullptr || length == nullptr) return RDSTATUS_NULLARG1;
    const char *value = name != nullptr ? std::getenv(name) : nullptr;
    if (value == nullptr) {
        out[0] = '\0';
        *length = 0;
        return RDSTATUS_ENVNOTSET;
    }
    size_t count = std::strlen(value);
    if (count > *length) count = *length;
    std::memcpy(out, value, count);
    out[count] = '\0';
    *length = static_cast<uint32_t>(count);
    return RDSTATUS_OK;
}

// Stores name="value". The environment keeps its own copy, so the text built
// here is freed again. A null value counts as the empty text.
RD_EXPORT uint32_t RDPlatPutEnv(const char *name, const char *value) {
    if (name == nullptr) return RDSTATUS_ENVREFUSED;
    if (value == nullptr) value = "";
    size_t valueLength = std::strlen(value);
    if (valueLength > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 3)
        return RDSTATUS_NOMEMORY;
    auto *quoted = static_cast<char *>(RDMemAlloc(static_cast<int32_t>(valueLength + 3)));
    if (quoted == nullptr) return RDSTATUS_NOMEMORY;
    quoted[0] = '"';
    std::memcpy(quoted + 1, value, valueLength);
    quoted[valueLength + 1] = '"';
    quoted[valueLength + 2] = '\0';
    // setenv refuses an empty name and a name holding '='.
    int rc = setenv(name, quoted, 1);
    RDMemFree(quoted);
    return rc == 0 ? RDSTATUS_OK : RDSTATUS_ENVREFUSED;
}

} // extern "C"
