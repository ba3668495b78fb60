// SPDX-License-Identifier: Apache-2.0
// Shared libraries and connector plug-ins through the dynamic loader. A handle
// is the loader's own handle. Entries are looked up among the library's own
// exports only, not among those of the libraries it depends on, and ELF has no
// ordinals: a look-up by number goes through the table RDLibraryOrdinals.
#include "home_dir.h"
#include "rdplat_library.h"
#include "rdplat_start.h"

#include <algorithm>
#include <dlfcn.h>
#include <link.h>
#include <string_view>

namespace {

constexpr std::string_view kConnectorSuffix = ".rdx";

void *Handle(RDLibHandle library) {
    return reinterpret_cast<void *>(library);
}

// Builds home directory + name + ".rdx" into path (RDPLAT_PATH_SIZE bytes);
// false when there is no home directory yet, the path does not fit, or the
// name holds a '/': connector names come from descriptions handed over by
// other programs and must not reach outside the home directory.
bool ConnectorPath(const char *name, char (&path)[RDPLAT_PATH_SIZE]) {
    std::string_view home = rdplat::HomeDir();
    std::string_view base = name;
    if (home.empty() || base.find('/') != std::string_view::npos ||
        home.size() + base.size() + kConnectorSuffix.size() >= sizeof path)
        return false;
    char *end = std::copy(home.begin(), home.end(), path);
    end = std::copy(base.begin(), base.end(), end);
    end = std::copy(kConnectorSuffix.begin(), kConnectorSuffix.end(), end);
    *end = '\0';
    return true;
}

// The address of symbol when the library itself defines it, else null.
void *OwnSymbol(void *handle, const char *symbol) {
    void *address = dlsym(handle, symbol);
    link_map *library = nullptr;
    link_map *owner = nullptr;
    Dl_info info;
    if (address == nullptr || dlinfo(handle, RTLD_DI_LINKMAP, &library) != 0 ||
        dladdr1(address, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) == 0)
        return nullptr;
    return owner == library ? address : nullptr;
}

// The entry numbered ordinal in the library's ordinal table, else null.
void *EntryByOrdinal(void *handle, uint32_t ordinal) {
    auto *table = static_cast<const RDLibraryOrdinal *>(OwnSymbol(handle, RDLIBRARY_ORDINAL_TABLE));
    if (table == nullptr) return nullptr;
    for (; table->name != nullptr; ++table)
        if (table->ordinal == ordinal) return OwnSymbol(handle, table->name);
    return nullptr;
}

} // namespace

extern "C" {

RD_EXPORT RDLibHandle RDLibraryLoad(const char *name, uint32_t flags) {
    // An empty name would give the main program's handle: refuse it.
    if (name == nullptr || *name == '\0') return nullptr;
    // RDLIBRARY_NOERRORBOX has nothing to switch: the loader shows no dialogs.
    char path[RDPLAT_PATH_SIZE];
    if ((flags & RDLIBRARY_CONNECTOR) != 0) {
        if (!ConnectorPath(name, path)) return nullptr;
        name = path;
    }
    return reinterpret_cast<RDLibHandle>(dlopen(name, RTLD_NOW | RTLD_LOCAL));
}

RD_EXPORT int RDLibraryFree(RDLibHandle library) {
    if (library == nullptr) return 0;
    return dlclose(Handle(library)) == 0 ? 1 : 0;
}

RD_EXPORT void *RDLibraryLoadProc(RDLibHandle library, const char *name, uint32_t ordinal) {
    // A null handle would make the loader search every loaded library.
    if (library == nullptr) return nullptr;
    if (name != nullptr) return OwnSymbol(Handle(library), name);
    return EntryByOrdinal(Handle(library), ordinal & 0xFFFFu);
}

} // extern "C"
