// SPDX-License-Identifier: Apache-2.0
// The catalogue's look-up: a binary search of the texts by number.
#include "rdres.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

struct Message {
    uint32_t number;
    std::string_view text;
};

constexpr Message kMessages[] = {
#include "rdres_messages.inc"
};

constexpr bool Ascending() {
    for (std::size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].number >= kMessages[i].number) return false;
    return true;
}
static_assert(Ascending(), "the catalogue is searched by number");

} // namespace

extern "C" RD_EXPORT uint32_t RDLibraryLoadString(uint32_t number, char *buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) return 0;
    buffer[0] = '\0';
    const auto *found = std::lower_bound(std::begin(kMessages), std::end(kMessages), number,
                                         [](const Message &m, uint32_t n) { return m.number < n; });
    if (found == std::end(kMessages) || found->number != number) return 0;
    const std::size_t length = std::min<std::size_t>(found->text.size(), size - 1);
    std::memcpy(buffer, found->text.data(), length);
    buffer[length] = '\0';
    return static_cast<uint32_t>(length);
}
