// SPDX-License-Identifier: Apache-2.0
// An RDStream released at the end of its scope, and texts in and out of
// streams as UTF-8 (the interchange set).
#pragma once

#include "rdx_stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

class OwnedStream {
  public:
    OwnedStream() = default;
    OwnedStream(const OwnedStream &) = delete;
    OwnedStream &operator=(const OwnedStream &) = delete;
    ~OwnedStream() { RDStreamDataFree(&stream_); }

    RDStream *get() { return &stream_; }
    const RDStream *get() const { return &stream_; }
    // The bytes, empty for a cleared record.
    std::string_view View() const {
        return stream_.data == nullptr
                   ? std::string_view()
                   : std::string_view(reinterpret_cast<const char *>(stream_.data), stream_.length);
    }
    // Replaces the value with bytes of charset.
    uint32_t Set(uint32_t charset, std::string_view bytes) {
        RDStreamDataFree(&stream_);
        if (uint32_t status = RDStreamCreate(&stream_, 0, 0, charset); status != 0) return status;
        return RDStreamDataSet(&stream_, charset, bytes.data(),
                               static_cast<uint32_t>(bytes.size()));
    }

  private:
    RDStream stream_{};
};

// The text of stream as UTF-8 (a copy; converted when in another set).
inline uint32_t Utf8Of(const RDStream &stream, std::string &out) {
    if (stream.charset == RDCHARSET_INTERCHANGE) { // already UTF-8
        out.assign(reinterpret_cast<const char *>(stream.data),
                   stream.data == nullptr ? 0 : stream.length);
        return 0;
    }
    OwnedStream converted;
    uint8_t *data = nullptr;
    uint32_t length = 0;
    if (uint32_t status = RDStreamDataConvert(converted.get(), &stream, RDCONVERT_BORROW,
                                              RDCHARSET_INTERCHANGE, &data, &length);
        status != 0)
        return status;
    out.assign(reinterpret_cast<const char *>(data), data == nullptr ? 0 : length);
    return 0;
}

} // namespace rdxc
