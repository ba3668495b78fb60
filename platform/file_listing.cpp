// SPDX-License-Identifier: Apache-2.0
// The listing of installed connectors: every entry of the home directory whose
// name ends with ".rdx", in the order the file system gives them.
#include "home_dir.h"
#include "rdplat_file.h"
#include "rdplat_mem.h"

#include <cstring>
#include <dirent.h>
#include <string_view>

// The listing record behind an RDListHandle: the open directory stream and the
// name of the last entry found.
struct RDFileListing {
    DIR *dir;
    char name[RDFILE_NAME_SIZE];
};

namespace {

constexpr std::string_view kPattern = "*.rdx";
constexpr std::string_view kSuffix = ".rdx";

// "*.rdx" as the search matches it: any name, also a hidden one or the bare
// ".rdx", that ends with ".rdx" in exactly these letters.
bool Matches(std::string_view name) {
    return name.ends_with(kSuffix);
}

// Copies text into a name output of RDFILE_NAME_SIZE bytes (a null output is
// skipped). File names on Linux hold at most 255 bytes, so nothing is cut.
void PutName(char *out, const char *text) {
    if (out == nullptr) return;
    size_t length = strnlen(text, RDFILE_NAME_SIZE - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// Advances to the next matching entry and records its name; false at the end.
bool FindNext(RDFileListing *listing) {
    while (const dirent *entry = readdir(listing->dir)) {
        if (Matches(entry->d_name)) {
            PutName(listing->name, entry->d_name);
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDFileListFirst(const char *pattern, char *name, RDListHandle *listing) {
    if (pattern == nullptr || kPattern != pattern) return RDSTATUS_BADPATTERN;
    if (listing == nullptr) return RDSTATUS_NULLARG2;
    PutName(name, "");
    *listing = nullptr;
    auto *record = static_cast<RDFileListing *>(RDMemAlloc(sizeof(RDFileListing)));
    if (record == nullptr) return RDSTATUS_NOMEMORY;
    // Before the platform has started there is no home directory and hence no
    // connector to list.
    const char *home = rdplat::HomeDir();
    record->dir = *home != '\0' ? opendir(home) : nullptr;
    if (record->dir == nullptr || !FindNext(record)) {
        if (record->dir != nullptr) closedir(record->dir);
        RDMemFree(record);
        return RDSTATUS_NOENTRY;
    }
    PutName(name, record->name);
    *listing = record;
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDFileListNext(char *name, RDListHandle listing) {
    if (listing == nullptr) return RDSTATUS_NOLISTHANDLE;
    if (!FindNext(listing)) return RDSTATUS_NOENTRY;
    PutName(name, listing->name);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDFileListClose(RDListHandle listing) {
    if (listing == nullptr) return RDSTATUS_NOLISTHANDLE;
    closedir(listing->dir);
    RDMemFree(listing);
    return RDSTATUS_OK;
}

} // extern "C"
