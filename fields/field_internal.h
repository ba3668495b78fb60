// SPDX-License-Identifier: Apache-2.0
// The field record and the operations on it shared by the field, field
// value, field list and merge operations.
//
// A record is either free-standing (its own RDMem block) or held inline in
// the field array of a field list's FieldBlock, where it may move: its
// handle then follows it (FieldMoved). Values of one field lie
// contiguously, value i (from 1) at (i - 1) * typeSize.
#pragma once

#include "activity/system_context.h"
#include "fields/fields_context.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_numeric.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <array>
#include <cstdint>

namespace rdx {

struct Fieldlist;

// Internal marker (high byte of flags): the field occupies a slot of a
// merged list but is not counted, listed or found.
constexpr uint32_t kFieldHidden = 0x10000000;
constexpr uint32_t kFieldTypeCount = 8; // codes 1-7 are valid

// Sizes of one value by type code, from the real records.
constexpr std::array<uint32_t, kFieldTypeCount> kTypeSizes = {0,
                                                              sizeof(int32_t),
                                                              sizeof(double),
                                                              sizeof(RDCurrency),
                                                              sizeof(RDNumeric),
                                                              sizeof(RDDatetime),
                                                              sizeof(RDStream),
                                                              sizeof(RDStream)};

inline bool ValidType(uint32_t type) {
    return type >= 1 && type < kFieldTypeCount;
}

inline bool IsStreamType(uint32_t type) {
    return type == RDTYPE_TEXT || type == RDTYPE_BINARY;
}

// Format word indexes by use: of numbers, and of streams.
enum FormatWord : uint32_t { kFormatWord1, kFormatWord2, kFormatPrecision, kFormatScale };
enum StreamFormatWord : uint32_t { kFormatStreamFlags, kFormatMaxLength, kFormatCharset };

struct Field {
    uint32_t handle;      // 0 while not registered
    uint32_t type;        // 1-7
    uint32_t valueCount;  // >= 1, fixed for the life of the field
    uint32_t flags;       // low 24 bits caller flags, high 8 internal markers
    uint32_t format[4];   // by type, see FormatWord and StreamFormatWord
    uint32_t typeSize;    // kTypeSizes[type]
    uint32_t virtualCode; // caller code used by the virtual merge
    Fieldlist *owner;     // the first list sharing the record's block; null when free-standing
    uint8_t *values;      // valueCount * typeSize bytes
    uint32_t *nulls;      // valueCount indicators, nonzero = null
};

// True while the field and field-list registries are set up.
extern bool g_fieldsReady;

inline bool FieldsReady() {
    return g_fieldsReady;
}

// The opening of a function that makes a new field or list at *handle:
// clears it, then checks that the registries are set up and that there is
// somewhere to put the handle: 0, 12320 or the missing second argument.
inline uint32_t NewHandleCheck(uint32_t *handle) {
    if (handle != nullptr) *handle = 0;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    return handle == nullptr ? RDSTATUS_NULLARG2 : RDSTATUS_OK;
}

// The registries: set up and torn down with the system context, but kept
// beside it so that a handle reaches its record without going through the
// context pointer. Empty (finding nothing) while not set up.
extern FieldsContext g_fields;

inline FieldsContext &Fields() {
    return g_fields;
}

// What unknown field handles find: a record without values.
extern Field g_noField;

// The record of handle, or g_noField when it is unknown (always while the
// registries are not set up). For the per-record path.
inline Field *FieldEntry(uint32_t handle) {
    return static_cast<Field *>(HandleTableFind(Fields().fieldTable, handle, &g_noField));
}

// The record of a live field handle, or null.
inline Field *FindField(uint32_t handle) {
    Field *field = FieldEntry(handle);
    return field != &g_noField ? field : nullptr;
}

inline void *ValueAt(const Field &field, uint32_t index) {
    return field.values + static_cast<uint64_t>(index - 1) * field.typeSize;
}

inline RDStream *StreamAt(const Field &field, uint32_t index) {
    return static_cast<RDStream *>(ValueAt(field, index));
}

// 12809, 12297 or 12291 for a field, index pair; 0 when both are good.
inline uint32_t CheckFieldIndex(const Field *field, uint32_t index) {
    if (field == nullptr) return RDSTATUS_NOFIELD;
    if (index == 0) return RDSTATUS_INDEXZERO;
    return index > field->valueCount ? RDSTATUS_BEYONDEND : RDSTATUS_OK;
}

// The record when index is one of its positions, else null: the checks of
// the frequent good case in one comparison (unknown handles, and every
// handle while not set up, find a record without values).
inline Field *FieldWithIndex(uint32_t handle, uint32_t index) {
    Field *field = FieldEntry(handle);
    return index - 1 < field->valueCount ? field : nullptr;
}

// The status of a failed FieldWithIndex, in the order of the checks:
// 12320, 12809, 12297 or 12291.
uint32_t FailedLookup(uint32_t handle, uint32_t index);

// Called by RDSystemInit after translation: 0 or 12320 (no context, or
// already set up).
uint32_t FieldsSetUp();
// Called by RDSystemTerm: frees every list, then every field.
void FieldsTearDown();

// Allocates n zeroed values and n indicators of 1 for a record zeroed
// here and given type and count; the record is not registered. 0, 258
// (also when the sizes cannot be held) or 12810. On failure the record
// holds nothing.
uint32_t FieldInitialise(Field &field, uint32_t type, uint32_t count);

// Makes the next count field registrations certain: 0 or 258.
inline uint32_t FieldHandlesReserve(uint32_t count) {
    return HandleTableReserve(Fields().fieldTable, count);
}
// Gives a record its handle; a handle must have been reserved.
inline void FieldRegister(Field &field) {
    field.handle = HandleTableRegister(Fields().fieldTable, &field);
}
// Points the record's handle at its new place after a move.
inline void FieldMoved(Field &field) {
    if (field.handle != 0) HandleTableMove(Fields().fieldTable, field.handle, &field);
}

// Frees the values (the stream storage of types 6 and 7 first) and the
// indicators; the record is left without storage.
void FieldFreeValues(Field &field);

// Unregisters the record and frees its values; the record's own storage
// is the caller's.
void FieldRelease(Field &field);

// Makes destination a copy of source with storage of its own: members,
// value bytes (stream values with their data, maximum length and flags)
// and indicators. The copy has no owner and is not registered. 0 or 258;
// on failure destination holds nothing. A free-standing copy is made by
// reserving a handle, cloning into a zeroed record and registering it.
uint32_t FieldClone(Field &destination, const Field &source);

} // namespace rdx
