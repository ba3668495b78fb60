// Formatting a log record into its finished text: the catalogue text of the
// message with its markup filled, then the sections about the connection,
// the operation and the free text.
#pragma once

#include "activity/log_record.h"
#include "rdx_stream.h"

#include <cstdint>

namespace rdx {

// The text of record, with the sections when withSections is set, into
// *out as a stream of character set 256: 0, 258, or a status of setting out.
uint32_t FormatLogRecord(const LogRecord &record, bool withSections, RDStream *out);

} // namespace rdx
