// SPDX-License-Identifier: Apache-2.0
// Starts the platform and the system context once per benchmark program, in
// a temporary home directory of its own, with a UTF-8 locale so that runs
// compare alike on every machine.
#pragma once

#include "rdplat.h"
#include "rdx_system.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace rdbench {

class System {
  public:
    System() {
        setenv("LC_ALL", "en_US.UTF-8", 1);
        char dir[] = "/tmp/rdxbenchXXXXXX";
        if (mkdtemp(dir) == nullptr) std::abort();
        dir_ = dir;
        std::ofstream(dir_ + "/quarry.ini") << "[Configuration]\nDirectory=" << dir_ << "/\n";
        if (chdir(dir) != 0 || RDPlatInit(nullptr) != 0 || RDSystemInit() != 0) std::abort();
    }
    ~System() {
        RDSystemTerm();
        RDPlatTerm();
        std::remove((dir_ + "/quarry.ini").c_str());
        rmdir(dir_.c_str());
    }
    System(const System &) = delete;
    System &operator=(const System &) = delete;

  private:
    std::string dir_;
};

inline void StartSystem() {
    static System system;
}

// The raw baseline of storing text in a stream: a block with 4 bytes before
// the text and a 4-byte terminator after it, allocated, filled and freed.
// The length is opaque to the compiler, as it is to the library.
inline void MallocMemcpyLoop(benchmark::State &state, const std::string &text) {
    size_t count = text.size();
    for (auto _ : state) {
        benchmark::DoNotOptimize(count);
        auto *block = static_cast<char *>(std::malloc(count + 8));
        benchmark::DoNotOptimize(block);
        std::memcpy(block + 4, text.data(), count);
        std::memset(block + 4 + count, 0, 4);
        benchmark::ClobberMemory();
        std::free(block);
    }
}

// Text of n bytes, the pattern repeated (and cut).
inline std::string Text(size_t n, const std::string &pattern) {
    std::string text;
    while (text.size() < n)
        text += pattern;
    text.resize(n);
    return text;
}

} // namespace rdbench
