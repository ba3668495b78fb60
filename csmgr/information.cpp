// SPDX-License-Identifier: Apache-2.0
// The information request of the attachment and of CSMgrServerInfo.
#include "csmgr/information.h"

#include "activity/system_context.h"
#include "csmgr/transport.h"
#include "rdx_status.h"

#include <bit>
#include <cstring>

namespace rdx::csmgr {

// The international formats travel as their own 86-byte little-endian image.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(RDIntlFormat) == kInfoLength - kInfoIntlAt);

Information DecodeInformation(ConstBytes answer) {
    Information information{};
    for (std::size_t i = 0; i < 6; ++i)
        information.values[i] = GetU32(answer, kInfoValuesAt + 4 * i);
    for (std::size_t i = 0; i < 2; ++i)
        information.values[6 + i] = GetU32(answer, kInfoValues2At + 4 * i);
    information.translationMode = GetU32(answer, kInfoModeAt);
    information.text = GetText(answer, kInfoTextAt, kInfoTextSize);
    std::memcpy(&information.intl, answer.data() + kInfoIntlAt, sizeof information.intl);
    return information;
}

uint32_t RequestInformation(uint32_t word, ServerInfoRecord *info, Information &information) {
    uint8_t bytes[kInfoLength] = {};
    Bytes message(bytes);
    PutHeader(message, kInformation, kInfoLength);
    PutU32(message, kWord16, word);
    Answer answer = Exchange(message);
    uint32_t status = AnswerStatus(message, answer, kInfoLength);
    if (status != 0) return status;
    information = DecodeInformation(ConstBytes(bytes, answer.received));
    if (info == nullptr) return 0;
    std::memcpy(info->values, information.values, sizeof info->values);
    if (information.text.empty() || info->text == nullptr) return 0;
    return RDStreamDataSet(info->text, RDCHARSET_INTERCHANGE, information.text.data(),
                           static_cast<uint32_t>(information.text.size()));
}

uint32_t ApplyInformation(const Information &information) {
    SetTranslationMode(information.translationMode);
    return RDPlatSetIntlFormat(&information.intl);
}

} // namespace rdx::csmgr
