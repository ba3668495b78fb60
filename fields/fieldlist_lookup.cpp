// Finding a field by name. Names are equal when the stream comparison of
// two names of one character set says so (letter case ignored: list names
// carry RDSTREAM_NOCASE). For the sets that comparison orders byte by byte
// the same test runs here inline, without a call per name; Unicode names
// go through the comparison itself.
#include "fields/fieldlist_internal.h"
#include "translate/translation.h"

#include <algorithm>
#include <cctype>

using namespace rdx;

namespace {

enum class NameEquality { Bytes, FoldedBytes, Collation };

// How the stream comparison orders two names of code with RDSTREAM_NOCASE.
NameEquality EqualityOf(uint32_t code) {
    uint32_t first = code, second = code;
    EffectiveCharsets(0, &first, &second);
    if (IsKind(first)) return NameEquality::Bytes;
    return first == RDCHARSET_UNICODE ? NameEquality::Collation : NameEquality::FoldedBytes;
}

bool FoldedEqual(const uint8_t *a, const uint8_t *b, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        if (a[i] != b[i] && std::tolower(a[i]) != std::tolower(b[i])) return false;
    }
    return true;
}

bool NamesEqual(const RDStream &candidate, const RDStream &name, NameEquality equality) {
    if (candidate.length != name.length) return false;
    if (name.length == 0) return true;
    if (candidate.data == nullptr || name.data == nullptr) return false;
    switch (equality) {
    case NameEquality::Bytes:
        return std::equal(name.data, name.data + name.length, candidate.data);
    case NameEquality::FoldedBytes:
        return FoldedEqual(candidate.data, name.data, name.length);
    case NameEquality::Collation:
        break;
    }
    int32_t order = 1;
    return RDStreamDataCompare(&candidate, &name, &order) == RDSTATUS_OK && order == 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldlistLookup(uint32_t handle, const RDStream *name,
                                                uint32_t *field, uint32_t *position) {
    if (field != nullptr) *field = 0;
    if (position != nullptr) *position = 0;
    Fieldlist *list = nullptr;
    if (uint32_t status = FieldlistOf(handle, &list); status != RDSTATUS_OK) return status;
    if (name == nullptr) return RDSTATUS_NONAME;
    uint32_t index = 0;
    if (uint32_t status = NameArrayFindOrAdd(*list, name->charset, &index); status != RDSTATUS_OK)
        return status;
    const RDStream *names = list->nameBlock->names[index];
    const NameEquality equality = EqualityOf(name->charset);
    for (uint32_t slot = 0; slot < list->count; ++slot) {
        if (!NamesEqual(names[slot], *name, equality) || SlotHidden(*list, slot)) continue;
        if (field != nullptr) *field = SlotHandle(*list, slot);
        if (position != nullptr) *position = slot + 1;
        return RDSTATUS_OK;
    }
    return RDSTATUS_NOFIELD;
}
