// SPDX-License-Identifier: Apache-2.0
// Loading, checking and caching link connectors.
#include "connect/link.h"

#include "activity/system_context.h"
#include "connect/activity_access.h"
#include "rdplat_mem.h"
#include "rdx_status.h"

#include <array>
#include <cstring>
#include <strings.h>

namespace rdx {

namespace {

constexpr std::array<std::string_view, RDXENTRY_COUNT> kEntryNames = {
    "",
    "RDXIdentify",
    "RDXLaunch",
    "RDXInitialize",
    "RDXTerminate",
    "RDXGetProperty",
    "RDXSetProperty",
    "RDXConnect",
    "RDXDisconnect",
    "RDXExecute",
    "RDXSelect",
    "RDXFetch",
    "RDXInsert",
    "RDXUpdate",
    "RDXRemove",
    "RDXAction",
    "RDXCatalog",
    "RDXCreate",
    "RDXDrop",
};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A name that can only be a base name in the home directory.
bool PlainName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

// A record made for a load that is not finished yet; released unless kept.
struct NewLink {
    LinkRecord *link = nullptr;
    ~NewLink() {
        if (link == nullptr) return;
        RDMemFree(link->identify);
        RDMemFree(link->name);
        if (link->library != nullptr) RDLibraryFree(link->library);
        RDMemFree(link);
    }
};

uint32_t ResolveEntries(LinkRecord *link) {
    for (uint32_t n = RDXENTRY_IDENTIFY; n < RDXENTRY_COUNT; ++n) {
        if (n == RDXENTRY_LAUNCH) continue;
        link->entries[n] = RDLibraryLoadProc(link->library, kEntryNames[n].data(), 0);
        if (link->entries[n] == nullptr) return RDSTATUS_LINKKIND;
    }
    return RDSTATUS_OK;
}

// The identify record's words and the declaration table it points to.
uint32_t CheckIdentify(LinkRecord *link) {
    const IdentifyRecord &identify = *link->identify;
    if (identify.kind != RDX_KIND_LINK) return RDSTATUS_LINKKIND;
    if (identify.version != RDX_INTERFACE_VERSION) return RDSTATUS_LINKVERSION;
    if (identify.privateSize > kMaxPrivateSize || identify.declarations == nullptr)
        return RDSTATUS_LINKKIND;
    uint32_t count = 0;
    while (identify.declarations[count].number != 0) {
        if (++count > kMaxDeclarations) return RDSTATUS_LINKKIND;
    }
    link->declarationCount = count;
    return RDSTATUS_OK;
}

uint32_t Identify(LinkRecord *link) {
    link->identify = static_cast<IdentifyRecord *>(RDMemCalloc(sizeof(IdentifyRecord)));
    if (link->identify == nullptr) return RDSTATUS_NOMEMORY;
    const auto identify = reinterpret_cast<RDXIdentifyProc>(link->entries[RDXENTRY_IDENTIFY]);
    if (const uint32_t status = identify(link->identify); status != RDSTATUS_OK) return status;
    return CheckIdentify(link);
}

uint32_t Load(std::string_view name, bool quiet, NewLink &made) {
    made.link = static_cast<LinkRecord *>(RDMemCalloc(sizeof(LinkRecord)));
    if (made.link == nullptr) return RDSTATUS_NOMEMORY;
    LinkRecord *link = made.link;
    link->name = static_cast<char *>(RDMemAlloc(static_cast<int32_t>(name.size() + 1)));
    if (link->name == nullptr) return RDSTATUS_NOMEMORY;
    std::memcpy(link->name, name.data(), name.size());
    link->name[name.size()] = '\0';
    link->nameLength = static_cast<uint32_t>(name.size());
    const uint32_t flags = RDLIBRARY_CONNECTOR | (quiet ? RDLIBRARY_NOERRORBOX : 0);
    link->library = RDLibraryLoad(link->name, flags);
    if (link->library == nullptr) return RDSTATUS_LINKLOAD;
    if (const uint32_t status = ResolveEntries(link); status != RDSTATUS_OK) return status;
    return Identify(link);
}

// Gives a loaded link its code and puts it at the head of the chain.
void Number(LinkRecord *link) {
    ConnectState &state = Context()->connect;
    if (state.linkCounter == 0) state.linkCounter = 0x10000;
    link->linkCode = state.linkCounter + 1;
    state.linkCounter += 0x10000;
    link->next = state.linkChain;
    state.linkChain = link;
}

uint32_t LoadNative(std::string_view name, bool quiet, LinkRecord **out) {
    if (!PlainName(name)) return RDSTATUS_LINKLOAD;
    if (const std::string_view own = ActivityConnectorName(); SameName(name, own))
        return RDSTATUS_LINKKIND;
    for (LinkRecord *link = Context()->connect.linkChain; link != nullptr; link = link->next) {
        if (SameName(name, {link->name, link->nameLength})) {
            *out = link;
            return RDSTATUS_OK;
        }
    }
    // After link number 65535 the counter has wrapped: no code is left.
    if (Context()->connect.linkCounter == 0 && Context()->connect.linkChain != nullptr)
        return RDSTATUS_LINKLOAD;
    NewLink made;
    if (const uint32_t status = Load(name, quiet, made); status != RDSTATUS_OK) return status;
    Number(made.link);
    *out = made.link;
    made.link = nullptr;
    return RDSTATUS_OK;
}

} // namespace

std::string_view EntryName(uint32_t number) {
    return number < kEntryNames.size() ? kEntryNames[number] : std::string_view();
}

uint32_t LoadLink(const RDStream *name, bool quiet, LinkRecord **out) {
    *out = nullptr;
    if (name == nullptr) return RDSTATUS_LINKLOAD;
    RDStream native{};
    uint8_t *data = nullptr;
    uint32_t length = 0;
    uint32_t status = RDStreamDataConvert(
        &native, name, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT | RDCONVERT_LITERAL,
        RDCHARSET_DEFAULT, &data, &length);
    if (status == RDSTATUS_OK) {
        const std::string_view text(reinterpret_cast<const char *>(data), data ? length : 0);
        status = LoadNative(text, quiet, out);
    }
    RDStreamDataFree(&native);
    return status;
}

void UnloadLinks() {
    ConnectState &state = Context()->connect;
    while (LinkRecord *link = state.linkChain) {
        state.linkChain = link->next;
        RDMemFree(link->name);
        RDMemFree(link->identify);
        RDLibraryFree(link->library);
        RDMemFree(link);
    }
    state.linkCounter = 0;
}

} // namespace rdx
