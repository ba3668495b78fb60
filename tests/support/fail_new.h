// SPDX-License-Identifier: Apache-2.0
// The test programs' operator new (fail_new.cpp) counts against the failure
// armed with RDTestMemFailNth in the thread where a CppHeapFailures lives;
// otherwise it is plain malloc. Loops that arm the count switch it on (see alloc_failure.h).
#pragma once

namespace rdtest {

class CppHeapFailures {
  public:
    CppHeapFailures();
    ~CppHeapFailures();
    CppHeapFailures(const CppHeapFailures &) = delete;
    CppHeapFailures &operator=(const CppHeapFailures &) = delete;
};

// Test support code (peers, recorders) allocates uncounted while one lives.
class CppHeapUncounted {
  public:
    CppHeapUncounted();
    ~CppHeapUncounted();
    CppHeapUncounted(const CppHeapUncounted &) = delete;
    CppHeapUncounted &operator=(const CppHeapUncounted &) = delete;

  private:
    int saved_;
};

} // namespace rdtest
