// SPDX-License-Identifier: Apache-2.0
#include "ipc_spare.h"

#include <sys/mman.h>

namespace rdplat::ipc {

namespace {

struct Spare {
    char *room = nullptr;
    Spare() = default;
    Spare(const Spare &) = delete;
    Spare &operator=(const Spare &) = delete;
    ~Spare() { FreeSpare(room); }
};

thread_local Spare spare;

} // namespace

char *ThreadSpare() {
    if (spare.room == nullptr) {
        void *room = mmap(nullptr, kSpareSize, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (room != MAP_FAILED) spare.room = static_cast<char *>(room);
    }
    return spare.room;
}

char *TakeThreadSpare() {
    char *room = spare.room;
    spare.room = nullptr;
    return room;
}

void FreeSpare(char *room) {
    if (room != nullptr) munmap(room, kSpareSize);
}

} // namespace rdplat::ipc
