// SPDX-License-Identifier: Apache-2.0
// Properties and actions that this project's link connectors share so that
// a copy can be resumed after a kill or a stop without losing or repeating
// a record.
//
// Target side (a connector that can keep a mark):
//   MarkName  set before RDConnectConnect: the name of the copy (one mark
//             per name and target). At connect the connector reads the mark
//             stored for that name; a file target is cut back to the length
//             recorded with it, so that bytes written after the last mark
//             are gone.
//   Mark      read after connect: the stored mark text, empty when none.
//             Set at any time: the text is stored with the next batch of
//             records that the connector commits (insert) and with a table
//             it creates, in the same transaction, so that records and mark
//             never disagree. The text is opaque to the connector. It is
//             stored only over the text the connection read at connect or
//             stored itself: when another connection (a second run of the
//             same copy) stored a mark since, the batch is rolled back and
//             fails with RDSTATUS_FREETEXT ("Another run of NAME has
//             written to ..."), so that two runs never both write after
//             the same mark.
//   action kActionSaveMark stores the Mark text at once, in a transaction
//             of its own (for a connection that holds one transaction for
//             the whole copy: at its commit).
// A connector without marks refuses MarkName with 12555 (no such property).
//
// Source side:
//   ReadPosition  read after a fetch: where the next record starts, as
//             "offset=BYTES;line=LINE" (a file source); set before the
//             select: the select starts there (the file's columns are still
//             read from its beginning). Connectors that cannot position
//             refuse it with 12555.
//   OrderBy   set before the select: column names (comma separated) that
//             the select is ordered by, so that it returns the same records
//             in the same order when it runs again (SQL sources).
#pragma once

#include <cstdint>

namespace rdxc {

inline constexpr uint32_t kMarkName = 0x0F01;
inline constexpr uint32_t kMark = 0x0F02;
inline constexpr uint32_t kReadPosition = 0x0F03;
inline constexpr uint32_t kOrderBy = 0x0F04;

// Stores the Mark text at once. The code spells "MARK".
inline constexpr uint32_t kActionSaveMark = 0x4D41524B;

// The table that SQL targets keep marks in: one row per copy name.
inline constexpr const char *kMarkTable = "rdx_copy_marks";

} // namespace rdxc
