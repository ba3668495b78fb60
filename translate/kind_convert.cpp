// SPDX-License-Identifier: Apache-2.0
// Conversions involving rich text and value lists: through an intermediate
// text in the interchange set (UTF-8).
#include "activity/system_context.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "translate/value_list.h"
#include "values/stream_internal.h"

#include <cstring>

namespace rdx {
namespace {

// True when a text code stands for the intermediate text itself: the
// interchange set, or any code but 160 that mode 0 treats as native.
bool TakenAsInterchange(uint32_t code, uint32_t options) {
    if (code == RDCHARSET_INTERCHANGE) return true;
    return code != RDCHARSET_UNICODE && Context()->translation.translationMode == 0 &&
           (options & RDCONVERT_LITERAL) == 0;
}

// The intermediate text of a source: the source itself, or a stream built
// into *built.
uint32_t Intermediate(const RDStream &source, uint32_t options, RDStream *built,
                      const RDStream **text) {
    *text = built;
    const uint32_t code = source.charset;
    if (!IsKind(code)) {
        if (TakenAsInterchange(code, options)) {
            *text = &source;
            return RDSTATUS_OK;
        }
        return StreamTranslate(&source, RDCHARSET_INTERCHANGE, built,
                               RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT);
    }
    switch (code) {
    case RDKIND_RICHTEXT:
        return RichTextToText(source, built);
    case RDKIND_TEXTLIST:
        return TextListToText(source, built);
    case RDKIND_NUMBERLIST:
        return NumberListToText(source, built);
    case RDKIND_DATETIMELIST:
        return DatetimeListToText(source, built);
    default:
        return RDSTATUS_BADKINDS;
    }
}

// The intermediate text handed to a text destination of the interchange
// set. A destination without a maximum length takes the storage over; any
// other is sized so that its maximum length and fixed storage stay true.
uint32_t HandOver(RDStream &text, bool owned, RDStream &destination) {
    if (owned && destination.maxLength == 0 && (destination.flags & RDSTREAM_FIXED) == 0) {
        destination.data = text.data;
        destination.length = text.length;
        destination.flags =
            (destination.flags & RDSTREAM_CALLER_MASK) | (text.flags & RDSTREAM_BORROWED);
        text = RDStream{};
        return RDSTATUS_OK;
    }
    uint32_t length = text.length;
    uint32_t status = StreamDataSize(destination, &length);
    if (status == RDSTATUS_OK && length != 0) std::memcpy(destination.data, text.data, length);
    return status;
}

uint32_t ToDestination(RDStream &text, bool owned, uint32_t dc, RDStream &destination,
                       uint32_t options) {
    if (!IsKind(dc)) {
        if (TakenAsInterchange(dc, options)) return HandOver(text, owned, destination);
        return StreamTranslate(&text, dc, &destination, RDCONVERT_KEEPFORMAT);
    }
    if (dc == RDKIND_TEXTLIST) return TextToTextList(text, &destination);
    if (dc == RDKIND_NUMBERLIST) return TextToNumberList(text, &destination);
    if (dc == RDKIND_DATETIMELIST) return TextToDatetimeList(text, &destination);
    // Nothing becomes rich text.
    return RDSTATUS_BADKINDS;
}

} // namespace

uint32_t KindConvert(const RDStream *source, uint32_t dc, RDStream *destination, uint32_t options) {
    RDStream built{};
    const RDStream *text = nullptr;
    uint32_t status = Intermediate(*source, options, &built, &text);
    if (status == RDSTATUS_OK) {
        const bool owned = text == &built;
        RDStream intermediate = *text;
        status = ToDestination(intermediate, owned, dc, *destination, options);
        if (owned && intermediate.data == nullptr) built = RDStream{}; // handed over
    }
    FreeStorage(DetachStorage(built));
    return status;
}

} // namespace rdx
