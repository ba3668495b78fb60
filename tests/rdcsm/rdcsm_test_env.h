// SPDX-License-Identifier: Apache-2.0
// Server-manager tests: the system started in a temporary home of kit type
// 2, and rdcsm serving the real pipe from a thread of the test program with
// its database in that home. The client functions of the library talk to it.
#pragma once

#include "../values/rdx_test_env.h"
#include "activity/property_set.h"
#include "csmgr/message.h"
#include "csmgr/transport.h"
#include "items.h"
#include "pipe_server.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace rdcsmtest {

using rdxtest::Stream;

// A property set released at the end of the scope.
struct Set {
    PropertySet *set = nullptr;
    Set() { EXPECT_EQ(0u, rdx::PropertySetCreate(&set)); }
    ~Set() { rdx::PropertySetFree(set); }
};

// A text item (type 6, character set 256) and an Int item.
rdcsm::Item TextItem(uint32_t number, const std::string &text);
rdcsm::Item IntItem(uint32_t number, int32_t value);

class ServerTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the server thread (again, after StopServer).
    void StartServer();
    // Stops it through the shutdown request and joins the thread.
    void StopServer();
    // Defines an object directly in the store; its handle.
    uint32_t Define(rdcsm::ObjectKind kind, const std::string &name,
                    const std::vector<rdcsm::Item> &items);
    std::string DbPath() const { return home_.Path("rdcsm.db"); }
    // One raw exchange on the pipe: the answer's bytes (empty on failure).
    static std::string Raw(const std::string &request);

    std::unique_ptr<rdcsm::ServerState> state_;
    std::unique_ptr<rdcsm::PipeServer> server_;
    std::thread thread_;
    std::chrono::milliseconds timeout_{400};
};

// rdcsm itself, serving the test's home (kit type 2) as a child process with
// the database rdcsm.db there; killed at the end when still running.
class ProgramTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the program; true once it listens.
    bool StartProgram();
    // The shutdown request, then the program's exit status.
    int StopProgram();

    pid_t child_ = -1;
};

// Little-endian words and request images.
std::string Word(uint32_t value);
uint32_t WordAt(const std::string &bytes, std::size_t at);
std::string Image(uint32_t code, std::size_t length, uint32_t option = 0,
                  const std::vector<std::pair<std::size_t, std::string>> &pieces = {});

} // namespace rdcsmtest
