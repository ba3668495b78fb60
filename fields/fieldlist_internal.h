// SPDX-License-Identifier: Apache-2.0
// The field-list records and the operations on them shared by the list
// operations, their copies and the merge.
//
// Slot j (from 0) of a list holds the inline field record fields[j] of its
// FieldBlock (when it has one) and the name names[c][j] of every name
// array c of its NameBlock: array 0 holds the names in the first character
// set they were given or asked in, further arrays the same names in other
// sets, added on demand. Every operation that changes a list builds what
// it needs aside and commits only when nothing can fail any more.
#pragma once

#include "fields/field_internal.h"
#include "rdx_fieldlist.h"

#include <cstdint>

namespace rdx {

// listFlags of lists made by a merge.
constexpr uint32_t kListBorrowed = 0x1; // names (and maybe fields) of other lists
constexpr uint32_t kListOwnArray = 0x2; // owns its field array, not the records in it

constexpr uint32_t kInitialCapacity = 20;
constexpr uint32_t kNoNameArray = UINT32_MAX;

// The field records of one or more lists (shared by RDFieldlistCopyRef).
struct FieldBlock {
    Field *fields;         // capacity records
    uint32_t recordCount;  // valueCount of every field, >= 1
    uint32_t defaultFlags; // caller flags of every field made in the list
    uint32_t refCount;     // lists sharing the block
    Fieldlist *sharers;    // those lists, chained by nextSharer; the first owns the records
    uint32_t count;        // records in use: the slot count of the list that made them
};

struct NameBlock {
    uint32_t charsetCount; // name arrays, >= 1
    uint32_t *charsets;    // code of each array; array 0 has 0 until the first name
    RDStream **names;      // charsetCount arrays of capacity records
    uint32_t refCount;     // lists owning or borrowing the block
    uint32_t capacity;     // records of every array (the owning list's capacity)
    uint32_t count;        // names in use in every array: the owning list's slot count
};

struct Fieldlist {
    uint32_t handle;
    uint32_t sequence;      // last sequence number given out, 0 before the first
    uint32_t modified;      // 1 when the layout changed since sequence was taken
    uint32_t count;         // slots in use, hidden ones included
    uint32_t hiddenCount;   // slots whose field is hidden
    uint32_t capacity;      // slots allocated in the field array and every name array
    FieldBlock *fieldBlock; // null for a names-only list
    NameBlock *nameBlock;
    uint32_t listFlags;     // kListBorrowed, kListOwnArray
    int32_t cursor;         // next slot the listing reports; -1 before set-up
    uint32_t cursorCharset; // name array the listing reports
    Fieldlist *nextSharer;  // next list sharing fieldBlock, or dataBlock for a merged list
    // A merged list with a field array of its own: the data list's block,
    // whose records its array copies and on which it holds a reference.
    FieldBlock *dataBlock;
};

inline Fieldlist *FindFieldlist(uint32_t handle) {
    return static_cast<Fieldlist *>(HandleTableFind(Fields().fieldlistTable, handle, nullptr));
}

// The list of a handle after the common checks: 0, 12320 or 12307.
inline uint32_t FieldlistOf(uint32_t handle, Fieldlist **list) {
    *list = nullptr;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    *list = FindFieldlist(handle);
    return *list != nullptr ? RDSTATUS_OK : RDSTATUS_NOLIST;
}

inline bool SlotHidden(const Fieldlist &list, uint32_t slot) {
    return list.fieldBlock != nullptr && (list.fieldBlock->fields[slot].flags & kFieldHidden) != 0;
}

inline uint32_t SlotHandle(const Fieldlist &list, uint32_t slot) {
    return list.fieldBlock != nullptr ? list.fieldBlock->fields[slot].handle : 0;
}

inline bool FieldsShared(const Fieldlist &list) {
    return list.fieldBlock != nullptr && list.fieldBlock->refCount > 1;
}

// The slot count of an ordinary list, kept in its blocks too: lists that
// borrow a block learn from it how many records and names it holds.
inline void SetSlotCount(Fieldlist &list, uint32_t count) {
    list.count = count;
    list.nameBlock->count = count;
    if (list.fieldBlock != nullptr) list.fieldBlock->count = count;
}

// Capacity after growth: doubled up to 100, then 100 more each time.
inline uint32_t NextCapacity(uint32_t capacity) {
    return capacity <= 100 ? capacity * 2 : capacity + 100;
}

// Slot of the visible position (from 1), or count when there is none.
uint32_t VisibleSlot(const Fieldlist &list, uint32_t position);

// Names are changed only by the list that owns them, while no merged list
// borrows them: 0 or 12311.
inline uint32_t CheckRename(const Fieldlist &list) {
    return (list.listFlags & kListBorrowed) != 0 || list.nameBlock->refCount > 1
               ? RDSTATUS_SHAREDLIST
               : RDSTATUS_OK;
}

// Layout changes are refused while the field block is shared (by a copy
// or a merged list) or the names are borrowed, and on a merged list, whose
// names and fields belong to other lists: 0 or 12311.
inline uint32_t CheckLayoutChange(const Fieldlist &list) {
    return FieldsShared(list) ? RDSTATUS_SHAREDLIST : CheckRename(list);
}

// A zeroed array of count records of size bytes, or null (also when the
// array could not be held in one block).
void *ArrayAllocate(uint64_t count, uint64_t size);

// ---- layout changes --------------------------------------------------------

// A slot made aside: its field (when the list has a field block) and its
// name in every name array; nothing of it is registered yet.
struct SlotAside {
    Field field;
    RDStream *names; // one per name array
    uint32_t nameCount;
};
// 0, 258, 12810 or a status of the name translation; nothing is kept on
// failure.
uint32_t SlotMake(const Fieldlist &list, const RDStream &name, uint32_t type, SlotAside &slot);
void SlotDiscard(SlotAside &slot);
// Puts the slot into slot index j (whose records are free), registering
// its field with the list as owner.
void SlotPlace(Fieldlist &list, uint32_t j, SlotAside &slot);

// The larger arrays of a list about to grow, made aside.
struct Growth {
    uint32_t capacity; // 0: no growth
    Field *fields;
    RDStream **names; // one per name array
    uint32_t nameCount;
};
// Makes the arrays when the list is full: 0 or 258.
uint32_t GrowthPrepare(const Fieldlist &list, Growth &growth);
void GrowthDiscard(Growth &growth);
// Moves the list's records into the larger arrays and frees the old ones.
void GrowthCommit(Fieldlist &list, Growth &growth);

// Moves the records of slots [from, count) by one slot up (shift 1) or
// down (shift -1), their handles following them; the slot left behind is
// zeroed.
void SlotsShift(Fieldlist &list, uint32_t from, int shift);

// ---- lists -------------------------------------------------------------

// A new unregistered list record with an empty name block of capacity
// slots and, with recordCount != 0, a field block of its own. 0 or 258.
uint32_t FieldlistMake(uint32_t recordCount, uint32_t defaultFlags, uint32_t capacity,
                       Fieldlist **list);
// A new unregistered record with shape's members but no blocks and no
// sharing, modified and its listing not set up; null for lack of memory.
Fieldlist *FieldlistRecordLike(const Fieldlist &shape);
// Frees what a list owns and the record (registered or not).
void FieldlistDestroy(Fieldlist *list);
// Registers a list made aside (a list handle must have been reserved).
inline void FieldlistRegister(Fieldlist &list) {
    list.handle = HandleTableRegister(Fields().fieldlistTable, &list);
}
inline uint32_t FieldlistHandlesReserve(uint32_t count) {
    return HandleTableReserve(Fields().fieldlistTable, count);
}

// ---- names ---------------------------------------------------------------

// Index of the array of code, or kNoNameArray.
uint32_t NameArrayFind(const NameBlock &block, uint32_t code);

// The state of a name block's arrays before an operation that may add one.
struct NameArrayMark {
    uint32_t charsetCount;
    uint32_t firstCode;
};
inline NameArrayMark NameArrayMarkOf(const NameBlock &block) {
    return {block.charsetCount, block.charsets[0]};
}
// Gives back arrays added since the mark.
void NameArrayUndo(Fieldlist &list, NameArrayMark mark);

// Finds the array of code, or adds one holding the list's names
// translated into code (only when all of them could be). 0, 12300 (code
// 0), 258 or a status of the translation.
uint32_t NameArrayFindOrAdd(Fieldlist &list, uint32_t code, uint32_t *index);

// Makes in names[c] the name converted into array c's code, for every
// array c of the block (names: charsetCount zeroed records). On failure
// the names made are freed.
uint32_t NamesMake(const NameBlock &block, const RDStream &name, RDStream *names);
// Frees one slot's names, one per array (names[c] of charsetCount).
void NamesFree(RDStream *names, uint32_t count);

// Drops one reference on the block; the last frees the names of slots
// [0, count) of every array, the arrays, the code table and the block.
void NameBlockDrop(NameBlock *block);

// A copy of source's names (all arrays, capacity slots, count names):
// 0 or 258; on failure nothing is kept.
uint32_t NameBlockCopy(const NameBlock &source, uint32_t count, uint32_t capacity,
                       NameBlock **copy);

// ---- field blocks --------------------------------------------------------

// Makes list one of the lists sharing block (last in its chain).
void FieldBlockShare(FieldBlock &block, Fieldlist &list);
// Drops list's share of block (its field block, or the data block of a
// merged list): the last sharer releases the records and frees the block;
// otherwise the records' owner moves to a list that still shares them.
void FieldBlockDrop(Fieldlist &list, FieldBlock *block);

// The block that owns the records a list shows: the data block of a
// merged list with an array of its own, else its field block.
inline FieldBlock *RecordsBlock(const Fieldlist &list) {
    return list.dataBlock != nullptr ? list.dataBlock : list.fieldBlock;
}

} // namespace rdx
