// SPDX-License-Identifier: Apache-2.0
// Rich text to plain text: paragraph ends become line feeds, text runs give
// their text. The walk stops at a record that is empty, too short for its
// header or runs past the end of the data, so no byte outside the data is
// ever read.
#include "rdx_status.h"
#include "translate/list_bytes.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

namespace rdx {
namespace {

constexpr uint32_t kParagraphEnd = 0x81; // two-byte header form
constexpr uint32_t kTextRun = 0xFF85;    // four-byte header form
constexpr uint32_t kTextRunOffset = 8;

struct Record {
    uint32_t signature;
    uint64_t length; // header included
};

uint32_t Read32(const uint8_t *at) {
    return Read16(at) | Read16(at + 2) << 16;
}

// The record at offset, or false at the end of the walk.
bool NextRecord(const uint8_t *data, uint64_t size, uint64_t offset, Record *record) {
    if (offset + 2 > size) return false;
    const uint32_t word = Read16(data + offset);
    const uint32_t form = word >> 8;
    uint64_t header = 2;
    if (form == 0xFF) {
        header = 4;
        if (offset + header > size) return false;
        *record = Record{word, Read16(data + offset + 2)};
    } else if (form == 0x00) {
        header = 6;
        if (offset + header > size) return false;
        *record = Record{word, Read32(data + offset + 2)};
    } else {
        *record = Record{word & 0xFF, form};
    }
    return record->length >= header && offset + record->length <= size;
}

// Walks the records, writing the text into out when it is not null;
// returns the text's length.
uint64_t Walk(const uint8_t *data, uint64_t size, uint8_t *out) {
    uint64_t produced = 0;
    Record record{};
    for (uint64_t offset = 0; NextRecord(data, size, offset, &record);
         offset += record.length + (record.length & 1)) {
        if (record.signature == kParagraphEnd) {
            if (out != nullptr) out[produced] = '\n';
            ++produced;
        } else if (record.signature == kTextRun && record.length > kTextRunOffset) {
            const uint8_t *text = data + offset + kTextRunOffset;
            const uint64_t length = record.length - kTextRunOffset;
            for (uint64_t i = 0; out != nullptr && i < length; ++i)
                out[produced + i] = text[i] != 0 ? text[i] : '\n';
            produced += length;
        }
    }
    return produced;
}

} // namespace

uint32_t RichTextToText(const RDStream &richText, RDStream *text) {
    const uint8_t *data = richText.data != nullptr ? richText.data : EmptyStreamData();
    uint32_t length = static_cast<uint32_t>(Walk(data, richText.length, nullptr));
    text->charset = RDCHARSET_INTERCHANGE;
    uint32_t status = StreamDataSize(*text, &length);
    if (status == RDSTATUS_OK) Walk(data, richText.length, text->data);
    return status;
}

} // namespace rdx
