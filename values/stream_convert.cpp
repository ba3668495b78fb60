// SPDX-License-Identifier: Apache-2.0
// Converting a stream into another character set or kind.
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDStreamDataConvert(RDStream *destination, const RDStream *source,
                                                  uint32_t options, uint32_t charset,
                                                  uint8_t **data, uint32_t *length) {
    if (data != nullptr) *data = nullptr;
    if (length != nullptr) *length = 0;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (destination == nullptr) return RDSTATUS_NOSTREAM;
    // The destination's storage is freed once the source has been read: the
    // source may be the destination itself.
    RDStream from{};
    if (source != nullptr) from = *source;
    // Bytes of the destination's own storage are about to go: never borrow them.
    if (source != nullptr && SharesStorage(*destination, *source)) options &= ~RDCONVERT_BORROW;
    uint8_t *old = DetachStorage(*destination);
    uint32_t status = RDSTATUS_OK;
    if (source != nullptr)
        status =
            StreamTranslate(&from, charset != 0 ? charset : from.charset, destination, options);
    FreeStorage(old);
    if (status != RDSTATUS_OK) return status;
    if (data != nullptr)
        *data = destination->data != nullptr ? destination->data : EmptyStreamData();
    if (length != nullptr) *length = destination->length;
    return RDSTATUS_OK;
}
