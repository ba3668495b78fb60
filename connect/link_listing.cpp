// SPDX-License-Identifier: Apache-2.0
// RDActivityLookupLink and RDActivityListLink: links by name and the link
// connectors of the home directory.
#include "connect/connection.h"
#include "connect/link.h"
#include "rdx_connect.h"
#include "rdx_status.h"

#include <cstring>

using namespace rdx;

namespace {

// Loads the file name of a listing (NAME.rdx) as a link, quietly.
uint32_t LoadListed(const char *file, LinkRecord **link) {
    const std::size_t length = strnlen(file, RDFILE_NAME_SIZE);
    if (length <= 4) return RDSTATUS_LINKLOAD;
    RDStream name{};
    uint32_t status =
        RDStreamDataSet(&name, RDCHARSET_DEFAULT, file, static_cast<uint32_t>(length - 4));
    if (status == RDSTATUS_OK) status = LoadLink(&name, true, link);
    RDStreamDataFree(&name);
    return status;
}

// The next file of the listing that loads as a link. A memory failure ends
// the listing; any other failure only skips the file.
uint32_t NextListed(uint32_t mode, LinkRecord **link) {
    ConnectState &state = Connections();
    char file[RDFILE_NAME_SIZE] = {};
    uint32_t status;
    if (mode == RDLIST_FIRST || state.linkListing == nullptr) {
        if (state.linkListing != nullptr) RDFileListClose(state.linkListing);
        state.linkListing = nullptr;
        status = RDFileListFirst("*.rdx", file, &state.linkListing);
    } else if (mode == RDLIST_NEXT) {
        status = RDFileListNext(file, state.linkListing);
    } else {
        return RDSTATUS_BADMODE;
    }
    while (status == RDSTATUS_OK) {
        file[RDFILE_NAME_SIZE - 1] = '\0';
        const uint32_t loaded = LoadListed(file, link);
        if (loaded == RDSTATUS_OK || loaded == RDSTATUS_NOMEMORY) return loaded;
        status = RDFileListNext(file, state.linkListing);
    }
    return status;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDActivityLookupLink(const RDStream *name, uint32_t *linkCode) {
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    if (linkCode != nullptr) *linkCode = 0;
    if (name == nullptr) return RDSTATUS_LINKLOAD;
    LinkRecord *link = nullptr;
    const uint32_t status = LoadLink(name, true, &link);
    if (status == RDSTATUS_OK && linkCode != nullptr) *linkCode = LinkCodeOf(link);
    return status;
}

extern "C" RD_EXPORT uint32_t RDActivityListLink(uint32_t mode, uint32_t *linkCode,
                                                 RDStream *name) {
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    LinkRecord *link = nullptr;
    uint32_t status = NextListed(mode, &link);
    if (status == RDSTATUS_OK && name != nullptr)
        status = RDStreamDataSet(name, RDCHARSET_DEFAULT, link->name, link->nameLength);
    if (status != RDSTATUS_OK) {
        if (name != nullptr) RDStreamDataFree(name);
        if (linkCode != nullptr) *linkCode = 0;
        return status;
    }
    if (linkCode != nullptr) *linkCode = LinkCodeOf(link);
    return RDSTATUS_OK;
}
