// SPDX-License-Identifier: Apache-2.0
// Threads: pthreads behind pointer-sized handles. The start routine and its
// argument travel to the new thread in a small block that the thread frees
// before it runs the routine, so a cancelled thread leaks nothing.
#include "rdplat_mem.h"
#include "rdplat_proc.h"

#include <cerrno>
#include <cstdint>
#include <pthread.h>

namespace {

static_assert(sizeof(pthread_t) <= sizeof(RDThreadHandle), "a thread id fits a handle");

struct ThreadStart {
    RDThreadRoutine routine;
    void *argument;
};

void *RunThread(void *block) {
    auto *start = static_cast<ThreadStart *>(block);
    RDThreadRoutine routine = start->routine;
    void *argument = start->argument;
    RDMemFree(start);
    return reinterpret_cast<void *>(static_cast<uintptr_t>(routine(argument)));
}

RDThreadHandle ToHandle(pthread_t id) {
    return reinterpret_cast<RDThreadHandle>(static_cast<uintptr_t>(id));
}

pthread_t FromHandle(RDThreadHandle handle) {
    return static_cast<pthread_t>(reinterpret_cast<uintptr_t>(handle));
}

// Starts the thread, detached when nobody keeps its handle. 0 or an errno.
int StartThread(ThreadStart *start, bool detached, pthread_t *id) {
    pthread_attr_t attr;
    int err = pthread_attr_init(&attr);
    if (err != 0) return err;
    if (detached) err = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (err == 0) err = pthread_create(id, &attr, RunThread, start);
    pthread_attr_destroy(&attr);
    return err;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDProcThreadCreate(RDThreadRoutine routine, void *argument,
                                      RDThreadHandle *thread) {
    if (thread != nullptr) *thread = nullptr;
    if (routine == nullptr) return RDSTATUS_THREADSTART;
    auto *start = static_cast<ThreadStart *>(RDMemAlloc(sizeof(ThreadStart)));
    if (start == nullptr) return RDSTATUS_THREADSTART;
    start->routine = routine;
    start->argument = argument;
    pthread_t id;
    if (StartThread(start, thread == nullptr, &id) != 0) {
        RDMemFree(start);
        return RDSTATUS_THREADSTART;
    }
    if (thread != nullptr) *thread = ToHandle(id);
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDProcThreadKill(RDThreadHandle *thread) {
    if (thread == nullptr || *thread == nullptr) return RDSTATUS_OK;
    return pthread_cancel(FromHandle(*thread)) == 0 ? RDSTATUS_OK : RDSTATUS_THREADKILL;
}

RD_EXPORT uint32_t RDProcThreadWait(RDThreadHandle *thread) {
    if (thread == nullptr || *thread == nullptr) return RDSTATUS_THREADWAIT;
    // A joined thread id is invalid; clearing it keeps a second wait or a
    // kill from touching a thread that no longer exists.
    if (pthread_join(FromHandle(*thread), nullptr) != 0) return RDSTATUS_THREADWAIT;
    *thread = nullptr;
    return RDSTATUS_OK;
}

} // extern "C"
