// SPDX-License-Identifier: Apache-2.0
// ICU's own heap in the translation tests: ICU allocates through functions
// installed before its first use, plain malloc except while an
// IcuHeapFailures lives, when every allocation counts against the failure
// armed with RDTestMemFailNth, like RDMemAlloc and the C++ heap.
#pragma once

namespace rdxtest {

class IcuHeapFailures {
  public:
    IcuHeapFailures();
    ~IcuHeapFailures();
    IcuHeapFailures(const IcuHeapFailures &) = delete;
    IcuHeapFailures &operator=(const IcuHeapFailures &) = delete;
};

} // namespace rdxtest
