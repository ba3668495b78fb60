// SPDX-License-Identifier: Apache-2.0
// Conversion of the caller's texts and the heap blocks of the requests.
#include "csmgr/request_parts.h"

#include "rdplat_mem.h"
#include "rdx_status.h"

#include <climits>

namespace rdx::csmgr {

namespace {
constexpr uint32_t kConvertOptions = RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT | RDCONVERT_LITERAL;
} // namespace

uint32_t Interchange::Convert(const RDStream *source) {
    uint8_t *data = nullptr;
    uint32_t length = 0;
    return RDStreamDataConvert(&stream_, source, kConvertOptions, RDCHARSET_INTERCHANGE, &data,
                               &length);
}

std::string_view Interchange::Text() const {
    if (stream_.data == nullptr) return {};
    return {reinterpret_cast<const char *>(stream_.data), stream_.length};
}

uint32_t PutName(Bytes message, std::size_t at, std::size_t size, const RDStream *name) {
    Interchange text;
    uint32_t status = text.Convert(name);
    if (status != 0) return status;
    if (text.Text().size() >= size) return RDSTATUS_NOARGUMENT;
    PutText(message, at, text.Text());
    message[at + text.Text().size()] = 0;
    return 0;
}

uint32_t SizeByText(const RDStream *source, uint32_t extra, Interchange &text, Block &block) {
    if (source == nullptr) return RDSTATUS_NOARGUMENT;
    if (uint32_t status = text.Convert(source); status != 0) return status;
    return block.Allocate(uint64_t{text.Text().size()} + extra) ? 0 : RDSTATUS_NOMEMORY;
}

Block::~Block() {
    RDMemFree(data_);
}

bool Block::Allocate(uint64_t size) {
    if (size > INT32_MAX) return false;
    data_ = static_cast<uint8_t *>(RDMemCalloc(static_cast<int32_t>(size)));
    capacity_ = data_ != nullptr ? static_cast<uint32_t>(size) : 0;
    return data_ != nullptr;
}

} // namespace rdx::csmgr
