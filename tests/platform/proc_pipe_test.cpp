// SPDX-License-Identifier: Apache-2.0
// Anonymous pipes.
#include "platform_test.h"

#include <csignal>
#include <fcntl.h>

namespace {

TEST(ProcPipe, BytesTravelThroughInheritableEndsOfTheAskedSize) {
    RDProcPipe pipe;
    std::memset(&pipe, 0xAB, sizeof pipe);
    ASSERT_EQ(RDProcPipeCreate(131072, &pipe), 0u);
    EXPECT_EQ(pipe.bufferSize, 131072u);
    EXPECT_GE(fcntl(RDPROC_FD(pipe.writeEnd), F_GETPIPE_SZ), 131072);
    for (uintptr_t end : {pipe.readEnd, pipe.writeEnd})
        EXPECT_EQ(fcntl(RDPROC_FD(end), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(RDProcPipePeek(&pipe), 0);
    ASSERT_EQ(RDProcPipeFill(5, "hello", &pipe), 0u);
    EXPECT_EQ(RDProcPipePeek(&pipe), 1);
    char buffer[8] = {};
    ASSERT_EQ(RDProcPipeEmpty(sizeof buffer, buffer, &pipe), 0u);
    EXPECT_STREQ(buffer, "hello");
    ASSERT_EQ(RDProcPipeDestroy(&pipe), 0u);
    EXPECT_EQ(pipe.readEnd | pipe.writeEnd | pipe.bufferSize, 0u);
}

TEST(ProcPipe, MissingRecordsEmptyTransfersAndClosedEndsAreRefused) {
    RDProcPipe pipe;
    ASSERT_EQ(RDProcPipeCreate(1u << 30, &pipe), 0u); // beyond the kernel's limit: default size
    char byte = 'x';
    EXPECT_EQ(RDProcPipeCreate(0, nullptr), 520u);
    EXPECT_EQ(RDProcPipeFill(1, &byte, nullptr), 521u);
    EXPECT_EQ(RDProcPipeFill(0, &byte, &pipe), 521u);
    EXPECT_EQ(RDProcPipeEmpty(1, &byte, nullptr), 522u);
    EXPECT_EQ(RDProcPipeEmpty(0, &byte, &pipe), 522u);
    EXPECT_EQ(RDProcPipePeek(nullptr), 0);
    EXPECT_EQ(RDProcPipeDestroy(nullptr), 523u);
    RDProcPipe copy = pipe;
    EXPECT_EQ(RDProcPipeDestroy(&pipe), 0u);
    EXPECT_EQ(RDProcPipeDestroy(&copy), 523u); // both ends already closed
    EXPECT_EQ(copy.readEnd | copy.writeEnd, 0u);
}

// Once an end was tried, its number may be reused by any file the process
// opens next: a second destroy must not close it.
TEST(ProcPipe, DestroyNeverClosesANumberTwice) {
    for (int closedEnd = 0; closedEnd < 2; ++closedEnd) {
        RDProcPipe pipe;
        ASSERT_EQ(RDProcPipeCreate(0, &pipe), 0u);
        uintptr_t &gone = closedEnd == 0 ? pipe.readEnd : pipe.writeEnd;
        int number = RDPROC_FD(gone);
        close(number);
        EXPECT_EQ(RDProcPipeDestroy(&pipe), 523u);
        EXPECT_EQ(pipe.readEnd | pipe.writeEnd, 0u);
        int null = open("/dev/null", O_RDONLY), reused = dup2(null, number);
        if (null != number) close(null);
        ASSERT_EQ(reused, number);
        EXPECT_EQ(RDProcPipeDestroy(&pipe), 523u);
        EXPECT_EQ(fcntl(reused, F_GETFD), 0) << "the reused number was closed";
        close(reused);
    }
}

TEST(ProcPipe, AVanishedPeerFailsTheTransferWithoutASignal) {
    auto *oldAction = signal(SIGPIPE, SIG_DFL); // a SIGPIPE would end the test
    RDProcPipe pipe;
    ASSERT_EQ(RDProcPipeCreate(0, &pipe), 0u);
    close(RDPROC_FD(pipe.readEnd));
    EXPECT_EQ(RDProcPipeFill(3, "abc", &pipe), 521u);
    EXPECT_EQ(RDProcPipeDestroy(&pipe), 523u);
    ASSERT_EQ(RDProcPipeCreate(0, &pipe), 0u);
    close(RDPROC_FD(pipe.writeEnd));
    char byte;
    EXPECT_EQ(RDProcPipeEmpty(1, &byte, &pipe), 522u); // end of the pipe
    close(RDPROC_FD(pipe.readEnd));
    signal(SIGPIPE, oldAction);
}

TEST(ProcPipe, DescriptorZeroNeverLooksLikeNoHandle) {
    EXPECT_EQ(rdtest::InChild([] {
                  close(0);
                  RDProcPipe pipe;
                  char byte = 0;
                  return RDProcPipeCreate(0, &pipe) == 0 && pipe.readEnd == 1 &&
                                 RDProcPipeFill(1, "z", &pipe) == 0 &&
                                 RDProcPipeEmpty(1, &byte, &pipe) == 0 && byte == 'z' &&
                                 RDProcPipeDestroy(&pipe) == 0
                             ? 0
                             : 1;
              }),
              0);
}

} // namespace
