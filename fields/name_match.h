// Equality of list names as the stream comparison of two names of one
// character set decides it (letter case ignored: list names carry
// RDSTREAM_NOCASE). For the sets that comparison orders byte by byte the
// same test runs inline, without a call per name, folding with the same
// locale table as tolower; Unicode names go through the comparison itself.
#pragma once

#include "rdx_stream.h"

#include <cstdint>

namespace rdx {

class NameMatcher {
  public:
    // For names of the character set code.
    explicit NameMatcher(uint32_t code);
    // Equal lengths first, then the bytes.
    bool Equal(const RDStream &candidate, const RDStream &name) const;

  private:
    enum class Equality { Bytes, FoldedBytes, Collation };
    Equality equality_;
    const int32_t *folding_; // the table tolower reads
    bool asciiFolding_;      // the table folds ASCII as the C locale does
};

} // namespace rdx
