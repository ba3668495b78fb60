// SPDX-License-Identifier: Apache-2.0
// Text lists: counting, measuring and fetching entries. A plain text
// stream reads as a list of one entry.
#include "fields/value_list_image.h"
#include "rdx_status.h"
#include "rdx_valuelist.h"

using namespace rdx;
using namespace rdx::lists;

namespace {

bool IsText(const RDStream &stream) {
    return (stream.charset & RDKIND_FLAG) == 0;
}

// The entry index (from 1) of a checked image: its bytes and length.
const uint8_t *Entry(const TextListImage &image, uint32_t index, uint32_t *length) {
    const uint8_t *text = image.texts;
    for (uint32_t i = 1; i < index; ++i)
        text += Read16(image.lengths + 2 * (i - 1));
    *length = Read16(image.lengths + 2 * (index - 1));
    return text;
}

// The entry, stored in the interchange set, into out in charset.
uint32_t FetchEntry(const uint8_t *text, uint32_t length, uint32_t charset, RDStream *out,
                    uint8_t **data) {
    if (charset == RDCHARSET_INTERCHANGE) {
        const uint32_t status = RDStreamDataSet(out, RDCHARSET_INTERCHANGE, text, length);
        if (status == RDSTATUS_OK && data != nullptr) *data = out->data;
        return status;
    }
    RDStream scratch{};
    uint32_t status = RDStreamDataSet(&scratch, RDCHARSET_INTERCHANGE, text, length);
    if (status == RDSTATUS_OK)
        status = RDStreamDataConvert(out, &scratch, RDCONVERT_KEEPFORMAT, charset, data, nullptr);
    RDStreamDataFree(&scratch);
    return status;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDTextListGetCount(const RDStream *list) {
    if (list == nullptr) return 0;
    if (IsText(*list)) return list->length != 0 ? 1 : 0;
    TextListImage image;
    return ReadTextList(list, &image) ? image.count : 0;
}

extern "C" RD_EXPORT uint32_t RDTextListGetLength(const RDStream *list, uint32_t index) {
    if (list == nullptr) return 0;
    // A text stream measures as the image of a one-entry list at index 1.
    if (IsText(*list)) return index == 0 ? list->length : index == 1 ? list->length + 4 : 0;
    TextListImage image;
    if (!ReadTextList(list, &image)) return 0;
    if (index == 0) return image.size;
    return index <= image.count ? Read16(image.lengths + 2 * (index - 1)) : 0;
}

extern "C" RD_EXPORT uint32_t RDTextListFetch(const RDStream *list, uint32_t index,
                                              uint32_t charset, RDStream *out, uint8_t **data,
                                              uint32_t *length) {
    if (data != nullptr) *data = nullptr;
    if (length != nullptr) *length = 0;
    if (list == nullptr) return RDSTATUS_NOTTEXTLIST;
    if (out == nullptr) return RDSTATUS_NOSTREAM;
    if (index == 0) return RDSTATUS_INDEXZERO;
    uint32_t status;
    if (IsText(*list)) {
        if (index != 1) return RDSTATUS_BEYONDEND;
        status = RDStreamDataConvert(out, list, RDCONVERT_KEEPFORMAT, charset, data, nullptr);
    } else {
        TextListImage image;
        if (!ReadTextList(list, &image)) return RDSTATUS_NOTTEXTLIST;
        if (index > image.count) return RDSTATUS_BEYONDEND;
        uint32_t entryLength;
        const uint8_t *text = Entry(image, index, &entryLength);
        status = FetchEntry(text, entryLength, charset, out, data);
    }
    if (status != RDSTATUS_OK) {
        if (data != nullptr) *data = nullptr;
        return status;
    }
    if (length != nullptr) *length = out->length;
    return RDSTATUS_OK;
}
