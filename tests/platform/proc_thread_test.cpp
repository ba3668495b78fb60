// SPDX-License-Identifier: Apache-2.0
// Threads and sleeps.
#include "platform_test.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/time.h>

namespace {

uint32_t Count(void *calls) {
    return ++*static_cast<std::atomic<int> *>(calls);
}

// Blocks in read (a cancellation point). The buffer is not on the stack: the
// sanitizer cannot follow the unwinding of a cancelled thread's frames.
char sink;
uint32_t BlockInRead(void *fd) {
    return read(*static_cast<int *>(fd), &sink, 1);
}

TEST(ProcThread, WaitUsesTheHandleUpAndKillEndsABlockedThread) {
    std::atomic<int> calls{0};
    RDThreadHandle thread;
    ASSERT_EQ(RDProcThreadCreate(Count, &calls, &thread), 0u);
    EXPECT_EQ(RDProcThreadWait(&thread), 0u);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(RDProcThreadWait(&thread), 514u);
    EXPECT_EQ(RDProcThreadWait(nullptr), 514u);
    EXPECT_EQ(RDProcThreadKill(&thread), 0u);                  // a null handle is left alone
    ASSERT_EQ(RDProcThreadCreate(Count, &calls, nullptr), 0u); // detached
    for (int i = 0; i < 200 && calls.load() < 2; ++i)
        usleep(10000);
    EXPECT_EQ(calls.load(), 2);
    int fds[2]; // a thread blocked in a read is ended by a kill
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(RDProcThreadCreate(BlockInRead, &fds[0], &thread), 0u);
    EXPECT_EQ(RDProcThreadKill(&thread), 0u);
    EXPECT_EQ(RDProcThreadWait(&thread), 0u);
    close(fds[0]);
    close(fds[1]);
}

TEST(ProcThread, StartFailuresReport513WithTheHandleCleared) {
    std::atomic<int> calls{0};
    RDThreadHandle thread = &thread;
    EXPECT_EQ(RDProcThreadCreate(nullptr, nullptr, &thread), 513u);
    EXPECT_EQ(thread, nullptr);
    thread = &thread;
    RDTestMemFailNth(1);
    EXPECT_EQ(RDProcThreadCreate(Count, &calls, &thread), 513u);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(calls.load(), 0);
}

void Interrupt(int) {}

TEST(ProcSleep, SleepsAsLongAsAskedEvenWhenSignalled) {
    struct sigaction interrupt {
    }, old{};
    interrupt.sa_handler = Interrupt; // no SA_RESTART: the sleep sees EINTR
    ASSERT_EQ(sigaction(SIGALRM, &interrupt, &old), 0);
    const struct {
        uint32_t (*sleep)();
        int minMs, maxMs;
    } cases[] = {{RDKeyboardSleep, 250, 900}, {[] { return RDProcThreadSleep(1); }, 1000, 1700}};
    for (const auto &c : cases) {
        itimerval alarm{{0, 0}, {0, 100000}};
        setitimer(ITIMER_REAL, &alarm, nullptr);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.sleep(), 0u);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(c.minMs));
        EXPECT_LT(took, std::chrono::milliseconds(c.maxMs));
    }
    sigaction(SIGALRM, &old, nullptr);
}

} // namespace
