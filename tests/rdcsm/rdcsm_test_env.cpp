// SPDX-License-Identifier: Apache-2.0
#include "rdcsm_test_env.h"

#include "test_store.h"

#include "rdplat_ini.h"
#include "rdplat_ipc.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace rdcsmtest {

rdcsm::Item TextItem(uint32_t number, const std::string &text) {
    return {6, RDCHARSET_INTERCHANGE, number, text + '\0'};
}

rdcsm::Item IntItem(uint32_t number, int32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
    return {1, 0, number, bytes};
}

std::string Word(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

uint32_t WordAt(const std::string &bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

std::string Image(uint32_t code, std::size_t length, uint32_t option,
                  const std::vector<std::pair<std::size_t, std::string>> &pieces) {
    std::string bytes = Word(code) + Word(static_cast<uint32_t>(length)) + Word(option) + Word(0);
    bytes.resize(std::max<std::size_t>(length, 16), '\0');
    for (const auto &[at, piece] : pieces)
        bytes.replace(at, piece.size(), piece);
    return bytes;
}

void ServerTest::SetUp() {
    SystemTest::SetUp();
    ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", "2", "quarry.ini"));
    rdx::csmgr::SetPipeSeconds(5);
    StartServer();
}

void ServerTest::TearDown() {
    StopServer();
    rdx::csmgr::SetPipeSeconds(rdx::csmgr::kPipeSeconds);
    SystemTest::TearDown();
}

void ServerTest::StartServer() {
    state_ = std::make_unique<rdcsm::ServerState>();
    rdcsm::DbError error;
    ASSERT_TRUE(state_->store.Open(TestStore(DbPath()), error)) << error.message;
    server_ =
        std::make_unique<rdcsm::PipeServer>(state_.get()[0], rdcsm::ServeOptions{timeout_, 16});
    std::string message;
    ASSERT_TRUE(server_->Start(message)) << message;
    thread_ = std::thread([this] { server_->Run(); });
}

void ServerTest::StopServer() {
    if (!thread_.joinable()) return;
    EXPECT_EQ(0u, CSMgrShutdown());
    thread_.join();
    server_.reset();
    state_.reset();
}

void ProgramTest::SetUp() {
    SystemTest::SetUp();
    ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", "2", "quarry.ini"));
    rdx::csmgr::SetPipeSeconds(0);
}

void ProgramTest::TearDown() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
    rdx::csmgr::SetPipeSeconds(rdx::csmgr::kPipeSeconds);
    SystemTest::TearDown();
}

bool ProgramTest::StartProgram() {
    const rdcsm::StoreUri store = TestStore(home_.Path("rdcsm.db"));
    const char *option = store.kind == rdcsm::StoreKind::kSqlite ? "--db" : "--store";
    const std::string path = home_.Dir() + ":" + (getenv("PATH") ? getenv("PATH") : "");
    child_ = fork();
    if (child_ == 0) {
        setenv("PATH", path.c_str(), 1);
        execl(RDCSM_PROGRAM, "rdcsm", option, store.target.c_str(), "serve", "--timeout-ms", "1000",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500; ++i) {
        if (RDIPCExists("RDCSMP", 0) != 0) return true;
        usleep(10000);
    }
    return false;
}

int ProgramTest::StopProgram() {
    EXPECT_EQ(0u, CSMgrShutdown());
    const int status = rdtest::WaitExit(child_);
    child_ = -1;
    return status;
}

uint32_t ServerTest::Define(rdcsm::ObjectKind kind, const std::string &name,
                            const std::vector<rdcsm::Item> &items) {
    std::lock_guard guard(state_->lock);
    return static_cast<uint32_t>(state_->store.DefineObject(kind, name, rdcsm::PackItems(items)));
}

std::string ServerTest::Raw(const std::string &request) {
    RDIPCHandle pipe = RDIPCOpen("RDCSMP", 5);
    if (pipe == nullptr) return {};
    std::string answer(1 << 16, '\0');
    uint32_t got = 0, more = 0;
    int done = RDIPCTransact(pipe, request.data(), static_cast<uint32_t>(request.size()),
                             answer.data(), static_cast<uint32_t>(answer.size()), &got, &more);
    RDIPCClose(pipe);
    answer.resize(done != 0 ? got : 0);
    return answer;
}

} // namespace rdcsmtest
