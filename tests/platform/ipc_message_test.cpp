// SPDX-License-Identifier: Apache-2.0
// Message semantics between a server instance and a client in one process.
#include "ipc_test_util.h"

#include <atomic>
#include <fstream>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace ipctest;

// The address space the process holds, in bytes.
size_t VirtualSize() {
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// A server instance and a connected client of the pipe "msg".
class PipePair : public ::testing::Test {
  protected:
    void SetUp() override {
        server = RDIPCCreate("msg");
        client = RDIPCOpen("msg", 0);
        ASSERT_NE(client, nullptr);
        ASSERT_EQ(RDIPCWaitForConnection(server), server);
    }
    void TearDown() override {
        RDIPCClose(client);
        RDIPCClose(server);
    }
    rdtest::TempHome home;
    RDIPCHandle server = nullptr, client = nullptr;
};

TEST_F(PipePair, TransactAnswerLongerThanBufferComesInPieces) {
    const std::string answer = Pattern(5000, 1);
    std::thread peer([&] {
        EXPECT_EQ(ReadWhole(server, 2048), Pattern(100, 2));
        EXPECT_TRUE(Send(server, answer));
    });
    // Request and answer share one buffer, as the server-manager client does it.
    std::string buffer = Pattern(100, 2);
    buffer.resize(2048);
    uint32_t got = 7, more = 7;
    ASSERT_EQ(RDIPCTransact(client, buffer.data(), 100, buffer.data(), 2048, &got, &more), 1);
    peer.join();
    EXPECT_EQ(got * 10 + more, 20481u);
    EXPECT_EQ(buffer, answer.substr(0, 2048));
    for (size_t offset = 2048; offset < 5000; offset += 2048) {
        ASSERT_EQ(RDIPCRead(client, buffer.data(), 2048, &got, &more), 1);
        EXPECT_EQ(more, offset + 2048 < 5000 ? 1u : 0u);
        EXPECT_EQ(buffer.substr(0, got), answer.substr(offset, 2048));
    }
}

TEST_F(PipePair, MessagesKeepTheirBoundariesWhateverTheBufferSize) {
    const std::pair<size_t, uint32_t> cases[] = {{1, 1},       {10, 3},       {2048, 2048},
                                                 {2049, 2048}, {70000, 4096}, {300000, 65536}};
    for (auto [length, chunk] : cases) {
        // Two messages back to back: reading the first in pieces must not eat the second.
        ASSERT_TRUE(Send(server, Pattern(length, 3)));
        ASSERT_TRUE(Send(server, Pattern(length, 4)));
        EXPECT_EQ(ReadWhole(client, chunk), Pattern(length, 3)) << length;
        EXPECT_EQ(ReadWhole(client, chunk), Pattern(length, 4)) << length;
    }
    // A zero-sized buffer gets nothing but the flag; the message is kept.
    ASSERT_TRUE(Send(client, "abc"));
    uint32_t got = 9, more = 9;
    EXPECT_EQ(RDIPCRead(server, nullptr, 0, &got, &more), 1);
    EXPECT_EQ(got * 10 + more, 1u);
    EXPECT_EQ(ReadWhole(server, 2), "abc");
}

TEST_F(PipePair, WriteNWSendsPiecesOfAtMost512EachReadBeforeTheNext) {
    const std::string text = Pattern(1300, 5);
    std::atomic<bool> writerDone{false};
    std::vector<size_t> sizes;
    std::string received;
    std::thread reader([&] {
        for (int piece = 0; piece < 3; ++piece) {
            std::string message = ReadWhole(server, 2048);
            sizes.push_back(message.size());
            received += message;
            if (piece > 0) continue;
            // The writer must still be waiting for the first piece to be taken.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_FALSE(writerDone.load());
        }
    });
    uint32_t written = 0;
    EXPECT_EQ(RDIPCWriteNW(client, text.data(), 1300, &written), 1);
    writerDone = true;
    reader.join();
    EXPECT_EQ(written, 1300u);
    EXPECT_EQ(sizes, (std::vector<size_t>{512, 512, 276}));
    EXPECT_EQ(received, text);
    written = 5;
    EXPECT_EQ(RDIPCWriteNW(client, text.data(), 0, &written), 1); // nothing to send
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(RDIPCPeek(server), 0);
    RDIPCDisconnect(server); // a peer that is gone: the first piece fails
    EXPECT_EQ(RDIPCWriteNW(client, text.data(), 1300, &written), 0);
    EXPECT_EQ(written, 0u);
}

TEST_F(PipePair, OutputsAreClearedBeforeArgumentsAreRefused) {
    char buffer[16];
    uint32_t a = 9, b = 9;
    auto cleared = [&](int result) {
        bool ok = result == 0 && a == 0 && b == 0;
        a = b = 9;
        return ok;
    };
    EXPECT_TRUE(cleared(RDIPCRead(nullptr, buffer, 16, &a, &b)));
    EXPECT_TRUE(cleared(RDIPCReadNW(client, nullptr, 16, &a, &b)));
    EXPECT_TRUE(cleared(RDIPCTransact(nullptr, "x", 1, buffer, 16, &a, &b)));
    EXPECT_TRUE(cleared(RDIPCTransact(client, nullptr, 1, buffer, 16, &a, &b)));
    b = 0;
    EXPECT_TRUE(cleared(RDIPCWrite(client, nullptr, 4, &a)));
    b = 0;
    EXPECT_TRUE(cleared(RDIPCWriteNW(nullptr, "x", 1, &a)));
    EXPECT_EQ(RDIPCPeek(nullptr) + RDIPCFlush(nullptr) + RDIPCSetNoWait(nullptr) +
                  RDIPCAllowClientConnections(nullptr) + RDIPCDisconnect(nullptr) +
                  RDIPCClose(nullptr) + RDIPCShutdown(nullptr),
              0);
    EXPECT_EQ(RDIPCCheckForConnection(nullptr), nullptr);
    EXPECT_EQ(RDIPCWaitForConnection(nullptr), nullptr);
    // Outputs are optional; a zero-length write sends nothing and succeeds.
    EXPECT_EQ(RDIPCWrite(client, "", 0, nullptr), 1);
    EXPECT_EQ(RDIPCPeek(server), 0);
}

TEST_F(PipePair, NonBlockingReadsReportWhatIsStillPending) {
    ASSERT_EQ(RDIPCSetNoWait(client), 1);
    char buffer[8];
    uint32_t got = 0, pending = 0;
    EXPECT_EQ(RDIPCReadNW(client, buffer, 8, &got, &pending), 0); // nothing there: no wait
    ASSERT_TRUE(Send(server, "first"));
    ASSERT_TRUE(Send(server, "second!!and more"));
    const std::pair<const char *, uint32_t> expected[] = {
        {"first", 1}, {"second!!", 1}, {"and more", 0}};
    for (auto [text, more] : expected) {
        ASSERT_EQ(RDIPCReadNW(client, buffer, 8, &got, &pending), 1);
        EXPECT_EQ(std::string(buffer, got), text);
        EXPECT_EQ(pending, more);
        EXPECT_EQ(RDIPCPeek(client), static_cast<int>(more));
    }
}

TEST_F(PipePair, FlushWaitsForTheReaderAndFailsWhenItLeaves) {
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Send(client, Pattern(600, i)));
    std::atomic<int> taken{0};
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        for (int i = 0; i < 3; ++i, ++taken)
            EXPECT_EQ(ReadWhole(server, 2048), Pattern(600, i));
    });
    EXPECT_EQ(RDIPCFlush(client), 1);
    EXPECT_EQ(taken.load(), 3);
    reader.join();
    ASSERT_TRUE(Send(client, "never read"));
    std::thread leaver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        RDIPCDisconnect(server);
    });
    EXPECT_EQ(RDIPCFlush(client), 0);
    leaver.join();
}

// Reads one message of text in pieces of 1000 bytes on a thread of its own
// (so that the thread reserves its room for the rest afresh), the first read
// while allocations fail. "" when the text did not come whole.
std::string ReadWhileAllocationsFail(RDIPCHandle pipe, bool firstFails) {
    std::string whole;
    std::thread reader([&] {
        char buffer[1000];
        uint32_t got = 9, more = 9;
        RDTestMemFailNth(1);
        int first = RDIPCRead(pipe, buffer, sizeof buffer, &got, &more);
        bool fired = RDTestMemFailPending() == 0;
        RDTestMemFailNth(0);
        if (first != (firstFails ? 0 : 1) || fired != firstFails) return;
        if (first == 1) whole.assign(buffer, got);
        whole += ReadWhole(pipe, 1000);
    });
    reader.join();
    return whole;
}

TEST_F(PipePair, FailedAllocationsLoseNothing) {
    RDTestMemFailNth(1);
    EXPECT_EQ(RDIPCCreate("msg"), nullptr);
    RDTestMemFailNth(1);
    EXPECT_EQ(RDIPCOpen("msg", 0), nullptr);
    // A message too long for the buffer goes whole into the reader's room
    // for the rest: no allocation.
    const std::string text = Pattern(3000, 6);
    ASSERT_TRUE(Send(server, text));
    EXPECT_EQ(ReadWhileAllocationsFail(client, false), text);
    // Without address space for that room, the length is asked for first and
    // a message that cannot be taken whole stays queued.
    ASSERT_TRUE(Send(server, text));
    EXPECT_EQ(rdtest::InChild([&] {
                  rlimit limit{};
                  getrlimit(RLIMIT_AS, &limit);
                  limit.rlim_cur = static_cast<rlim_t>(VirtualSize() + (32 << 20));
                  if (setrlimit(RLIMIT_AS, &limit) != 0) return 1;
                  return ReadWhileAllocationsFail(client, true) == text ? 0 : 2;
              }),
              0);
}

} // namespace
