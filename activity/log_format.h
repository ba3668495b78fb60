// SPDX-License-Identifier: Apache-2.0
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

// The entry as the server manager's log keeps it: sentences, the free text
// after a catalogue message, and for an error the connection and what it
// was doing in words ("... (connection src, fetching records)."), without
// the trace sections or the number, which the log keeps in its own column
// (LogColumnNumber). Into *out as FormatLogRecord does.
uint32_t FormatLogSentence(const LogRecord &record, RDStream *out);

// The number the server manager's log keeps beside the sentence: a free
// text's own number when it has one (the status it tells), else the message.
uint32_t LogColumnNumber(const LogRecord &record);

} // namespace rdx
