// SPDX-License-Identifier: Apache-2.0
// Merging: a data list's fields laid under a layout list's names and order,
// matched by position or by name, without copying a value. The merged list
// borrows the layout's names and either the data list's field block itself
// (the direct case) or an array of its own holding copies of the data
// fields' records; a virtual list gathers the fields of a virtual code.
// Results hold references on every block they borrow, so the inputs may be
// freed first; while the results live, the inputs' layouts cannot change.
#include "fields/fieldlist_internal.h"
#include "fields/name_match.h"
#include "rdplat_mem.h"
#include "rdx_activity.h"

#include <algorithm>
#include <memory>
#include <optional>

using namespace rdx;

namespace {

bool Filtered(const Field &field, uint32_t options) {
    if ((options & (RDMERGE_FILTERMASK | RDMERGE_KEEPFLAGGED)) == 0) return false;
    const uint32_t flags = field.flags & RDFIELD_CALLER_MASK;
    const uint32_t required = options & RDMERGE_FILTERMASK;
    if ((flags & required) != required) return false;
    return (options & RDMERGE_KEEPFLAGGED) == 0 || (flags & RDMERGE_KEEPFLAGGED) == 0;
}

// A code whose low 16 bits are 0 stands for every code of its high half.
bool IsVirtual(const Field &field, uint32_t code) {
    const uint32_t v = field.virtualCode;
    return code != 0 && v != 0 && (v == code || ((v & 0xFFFF) == 0 && (v >> 16) == (code >> 16)));
}

struct Request {
    Fieldlist *layout, *data;
    uint32_t options, code;
};

// The fields of the data list left out by the filter and gathered by the
// virtual code.
struct DataCounts {
    uint32_t filtered = 0, virtuals = 0;
};

// Only a virtual code or a filter leaves data fields out of the count.
DataCounts CountData(const Request &r) {
    DataCounts counts;
    if (r.code == 0 && (r.options & (RDMERGE_FILTERMASK | RDMERGE_KEEPFLAGGED)) == 0) return counts;
    const Fieldlist &d = *r.data;
    for (uint32_t i = 0; i < d.count; ++i) {
        if (SlotHidden(d, i)) continue;
        const Field &field = d.fieldBlock->fields[i];
        if (Filtered(field, r.options))
            ++counts.filtered;
        else if (IsVirtual(field, r.code))
            ++counts.virtuals;
    }
    return counts;
}

// The mismatch statuses are the merge's own result; a running activity
// also logs them (without one the log refuses, and nothing else changes).
uint32_t CheckCounts(const Request &r, const DataCounts &counts) {
    const uint32_t layout = r.layout->count - r.layout->hiddenCount;
    const uint32_t available =
        r.data->count - r.data->hiddenCount - counts.virtuals - counts.filtered;
    if ((available > layout && (r.options & RDMERGE_ALLOWEXTRA) == 0) ||
        (available < layout && (r.options & RDMERGE_ALLOWMISSING) == 0)) {
        RDActivityLogEx(RDSTATUS_COUNTMISMATCH, available, layout, 0, nullptr, nullptr, nullptr);
        return RDSTATUS_COUNTMISMATCH;
    }
    return RDSTATUS_OK;
}

uint32_t NameMismatch(const RDStream &name) {
    RDActivityLogEx(RDSTATUS_NAMEMISMATCH, 0, 0, 0, &name, nullptr, nullptr);
    return RDSTATUS_NAMEMISMATCH;
}

// A result list under construction: nothing of it is registered or
// referenced until Commit.
struct Result {
    Fieldlist *list = nullptr;
    ~Result() {
        if (list == nullptr) return;
        if (list->fieldBlock != nullptr && (list->listFlags & kListOwnArray) != 0) {
            RDMemFree(list->fieldBlock->fields);
            RDMemFree(list->fieldBlock);
        }
        RDMemFree(list);
    }
};

// A list record shaped like shape's (its names), not registered.
uint32_t MakeResult(const Fieldlist &shape, Result &result) {
    Fieldlist *list = FieldlistRecordLike(shape);
    if (list == nullptr) return RDSTATUS_NOMEMORY;
    list->nameBlock = shape.nameBlock; // referenced at commit
    list->listFlags = kListBorrowed;
    result.list = list;
    return RDSTATUS_OK;
}

// Gives the result an array of its own of slots hidden records.
uint32_t GiveOwnArray(Result &result, const FieldBlock &data, uint32_t slots) {
    Fieldlist &list = *result.list;
    auto *block = static_cast<FieldBlock *>(RDMemCalloc(sizeof(FieldBlock)));
    if (block == nullptr) return RDSTATUS_NOMEMORY;
    list.fieldBlock = block;
    list.listFlags = kListBorrowed | kListOwnArray;
    block->fields = static_cast<Field *>(ArrayAllocate(std::max(slots, 1u), sizeof(Field)));
    if (block->fields == nullptr) return RDSTATUS_NOMEMORY;
    for (uint32_t j = 0; j < slots; ++j)
        block->fields[j].flags = kFieldHidden;
    *block = FieldBlock{block->fields, data.recordCount, data.defaultFlags, 0, nullptr, slots};
    list.count = list.capacity = list.hiddenCount = slots;
    return RDSTATUS_OK;
}

// Copies a data field's record into slot j; a slot filled again is
// counted once.
void Place(Fieldlist &list, uint32_t j, const Field &field) {
    Field &slot = list.fieldBlock->fields[j];
    if ((slot.flags & kFieldHidden) != 0) --list.hiddenCount;
    slot = field;
}

// The first visible slot of the layout named like name, or count.
uint32_t LayoutSlotNamed(const Fieldlist &layout, const NameMatcher &matcher,
                         const RDStream &name) {
    const RDStream *names = layout.nameBlock->names[0];
    for (uint32_t j = 0; j < layout.count; ++j) {
        if (!SlotHidden(layout, j) && matcher.Equal(names[j], name)) return j;
    }
    return layout.count;
}

class Placement {
  public:
    explicit Placement(const Request &r) : r_(r) {}

    // Makes what placing by name needs: the data names in the layout's
    // set (added to the data list when missing) and the marks of filled
    // layout slots.
    uint32_t Prepare() {
        if ((r_.options & RDMERGE_BYNAME) == 0) return RDSTATUS_OK;
        const uint32_t code = r_.layout->nameBlock->charsets[0];
        uint32_t index = 0;
        if (uint32_t status = NameArrayFindOrAdd(*r_.data, code, &index); status != RDSTATUS_OK)
            return status;
        dataNames_ = r_.data->nameBlock->names[index];
        matcher_.emplace(code);
        if ((r_.options & RDMERGE_ALLOWMISSING) == 0) {
            marks_.reset(static_cast<bool *>(ArrayAllocate(std::max(r_.layout->count, 1u), 1)));
            if (marks_ == nullptr) return RDSTATUS_NOMEMORY;
        }
        return RDSTATUS_OK;
    }

    // Walks the data fields into the merged and the virtual list.
    uint32_t Run(Fieldlist &merged, Fieldlist *gathered) {
        const Fieldlist &d = *r_.data;
        uint32_t next = 0; // the next layout slot by position
        for (uint32_t i = 0; i < d.count; ++i) {
            if (SlotHidden(d, i)) continue;
            const Field &field = d.fieldBlock->fields[i];
            if (Filtered(field, r_.options)) continue;
            if (gathered != nullptr && IsVirtual(field, r_.code)) {
                Place(*gathered, i, field);
            } else if (!matcher_) {
                while (next < r_.layout->count && SlotHidden(*r_.layout, next))
                    ++next;
                if (next < r_.layout->count) Place(merged, next++, field);
            } else if (uint32_t status = PlaceByName(merged, i, field); status != RDSTATUS_OK) {
                return status;
            }
        }
        return CheckMarks();
    }

  private:
    uint32_t PlaceByName(Fieldlist &merged, uint32_t i, const Field &field) {
        const uint32_t j = LayoutSlotNamed(*r_.layout, *matcher_, dataNames_[i]);
        if (j == r_.layout->count)
            return (r_.options & RDMERGE_ALLOWEXTRA) != 0 ? RDSTATUS_OK
                                                          : NameMismatch(dataNames_[i]);
        Place(merged, j, field);
        if (marks_ != nullptr) marks_.get()[j] = true;
        return RDSTATUS_OK;
    }

    // Every visible layout slot must have received a field.
    uint32_t CheckMarks() const {
        if (marks_ == nullptr) return RDSTATUS_OK;
        for (uint32_t j = 0; j < r_.layout->count; ++j) {
            if (!marks_.get()[j] && !SlotHidden(*r_.layout, j))
                return NameMismatch(r_.layout->nameBlock->names[0][j]);
        }
        return RDSTATUS_OK;
    }

    struct MemFree {
        void operator()(void *p) const { RDMemFree(p); }
    };
    const Request &r_;
    const RDStream *dataNames_ = nullptr;
    std::optional<NameMatcher> matcher_; // set when placing by name
    std::unique_ptr<bool, MemFree> marks_;
};

bool IsDirect(const Request &r, const DataCounts &counts) {
    return (r.options & RDMERGE_BYNAME) == 0 && counts.filtered == 0 && r.code == 0 &&
           r.layout->hiddenCount == 0 && r.data->hiddenCount == 0 &&
           (r.data->listFlags & kListOwnArray) == 0;
}

// Takes the references of a finished result and registers it.
void Commit(Fieldlist &list, FieldBlock *shared, FieldBlock *data) {
    ++list.nameBlock->refCount;
    if (shared != nullptr) {
        list.fieldBlock = shared;
        FieldBlockShare(*shared, list);
    } else {
        list.dataBlock = data;
        FieldBlockShare(*data, list);
    }
    FieldlistRegister(list);
}

uint32_t Merge(const Request &r, uint32_t *merged, uint32_t *gathered) {
    const DataCounts counts = CountData(r);
    if (uint32_t status = CheckCounts(r, counts); status != RDSTATUS_OK) return status;
    if (uint32_t status = FieldlistHandlesReserve(r.code != 0 ? 2 : 1); status != RDSTATUS_OK)
        return status;
    Result result, virtuals;
    if (uint32_t status = MakeResult(*r.layout, result); status != RDSTATUS_OK) return status;
    if (IsDirect(r, counts)) {
        result.list->count = std::min(r.layout->count, r.data->count);
        result.list->hiddenCount = 0;
        Commit(*result.list, r.data->fieldBlock, nullptr);
        *merged = result.list->handle;
        result.list = nullptr;
        return RDSTATUS_OK;
    }
    const NameArrayMark mark = NameArrayMarkOf(*r.data->nameBlock);
    Placement placement(r);
    uint32_t status = placement.Prepare();
    if (status == RDSTATUS_OK) status = GiveOwnArray(result, *r.data->fieldBlock, r.layout->count);
    if (status == RDSTATUS_OK && r.code != 0) {
        status = MakeResult(*r.data, virtuals);
        if (status == RDSTATUS_OK)
            status = GiveOwnArray(virtuals, *r.data->fieldBlock, r.data->count);
    }
    if (status == RDSTATUS_OK) status = placement.Run(*result.list, virtuals.list);
    if (status != RDSTATUS_OK) {
        NameArrayUndo(*r.data, mark);
        return status;
    }
    FieldBlock *records = RecordsBlock(*r.data);
    Commit(*result.list, nullptr, records);
    *merged = result.list->handle;
    result.list = nullptr;
    if (virtuals.list != nullptr) {
        Commit(*virtuals.list, nullptr, records);
        *gathered = virtuals.list->handle;
        virtuals.list = nullptr;
    }
    return RDSTATUS_OK;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldlistMergeVirtual(uint32_t *merged, uint32_t layout,
                                                      uint32_t data, uint32_t options,
                                                      uint32_t virtualCode, uint32_t *virtualList) {
    if (merged != nullptr) *merged = 0;
    if (virtualList != nullptr) *virtualList = 0;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    if (merged == nullptr || (virtualCode != 0 && virtualList == nullptr)) return RDSTATUS_NULLARG2;
    Request r{FindFieldlist(layout), FindFieldlist(data), options, virtualCode};
    if (r.layout == nullptr || r.data == nullptr) return RDSTATUS_NOLIST;
    if (r.data->fieldBlock == nullptr) return RDSTATUS_NOFIELDRECORDS;
    return Merge(r, merged, virtualList);
}

extern "C" RD_EXPORT uint32_t RDFieldlistMerge(uint32_t *merged, uint32_t layout, uint32_t data,
                                               uint32_t options) {
    return RDFieldlistMergeVirtual(merged, layout, data, options, 0, nullptr);
}
