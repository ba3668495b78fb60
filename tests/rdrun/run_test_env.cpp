// SPDX-License-Identifier: Apache-2.0
#include "run_test_env.h"

#include "rdplat_ipc.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>
#include <unistd.h>

namespace rdruntest {

namespace {

// The programs and connectors of the build, linked into the home so that
// they find its quarry.ini beside themselves.
constexpr const char *kLinked[][2] = {
    {RDTEST_RDCSM, "rdcsm"},       {RDTEST_RDRUN, "rdrun"},
    {RDTEST_RDCSV, "rdcsv.rdx"},   {RDTEST_RDSQLITE, "rdsqlite.rdx"},
    {RDTEST_RDCOPY, "rdcopy.rdx"}, {RDTEST_RDPG, "rdpg.rdx"},
    {RDTEST_RDLIAR, "rdliar.rdx"}, {RDTEST_RDTELLER, "rdteller.rdx"},
};

std::string Quoted(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

void RunTest::SetUp() {
    rdtest::WriteFile(Path("quarry.ini"),
                      "[Configuration]\nDirectory=" + home_.Dir() + "\nKitType=2\n");
    for (const auto &[from, to] : kLinked)
        ASSERT_EQ(0, symlink(from, Path(to).c_str())) << to;
    server_ = fork();
    if (server_ == 0) {
        const std::string program = Path("rdcsm");
        execl(program.c_str(), program.c_str(), "serve", static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 2000 && RDIPCExists("RDCSMP", 0) == 0; ++i)
        usleep(10000);
    ASSERT_NE(0, RDIPCExists("RDCSMP", 0)) << "rdcsm did not open its pipe";
}

void RunTest::TearDown() {
    if (server_ <= 0) return;
    kill(server_, SIGTERM);
    EXPECT_EQ(0, rdtest::WaitExit(server_));
}

void RunTest::Define(const std::string &toml) {
    rdtest::WriteFile(Path("job.toml"), toml);
    const Ran ran = Program("rdcsm", "define " + Quoted(Path("job.toml")));
    ASSERT_EQ(0, ran.status) << ran.err << toml;
}

std::string RunTest::CopyActivity(const std::string &name, const CopySpec &spec) {
    std::string toml = "[activity." + name + "]\nconnector = \"rdcopy\"\n";
    toml += "SourceLink = \"" + spec.source + "\"\nTargetLink = \"" + spec.target + "\"\n";
    if (!spec.table.empty()) toml += "TargetTable = \"" + spec.table + "\"\n";
    if (!spec.select.empty()) toml += "SourceSelect = \"" + spec.select + "\"\n";
    if (spec.batch != 0) toml += "BatchSize = " + std::to_string(spec.batch) + "\n";
    if (!spec.onError.empty()) toml += "OnError = \"" + spec.onError + "\"\n";
    toml += std::string("CreateTarget = ") + (spec.create ? "1" : "0") + "\n";
    return toml;
}

std::string RunTest::CsvLink(const std::string &name, const std::string &path,
                             const std::string &columns, bool create) {
    std::string toml = "[link." + name + "]\nconnector = \"rdcsv\"\nPath = \"" + path + "\"\n";
    if (!columns.empty()) toml += "Columns = \"" + columns + "\"\n";
    return toml + (create ? "Create = 1\n" : "");
}

std::string RunTest::SqliteLink(const std::string &name, const std::string &path,
                                int commitRecords) {
    return "[link." + name + "]\nconnector = \"rdsqlite\"\nDatabase = \"" + path +
           "\"\nCreate = 1\nCommitRecords = " + std::to_string(commitRecords) + "\n";
}

Ran RunTest::Program(const std::string &program, const std::string &arguments) const {
    Ran ran;
    const std::string path = program[0] == '/' ? program : Path(program);
    ran.status = rdtest::Shell(Quoted(path) + " " + arguments + " >" + Quoted(Path("out.txt")) +
                               " 2>" + Quoted(Path("err.txt")) + " </dev/null");
    ran.out = rdtest::ReadFile(Path("out.txt"));
    ran.err = rdtest::ReadFile(Path("err.txt"));
    return ran;
}

pid_t RunTest::Start(const std::string &program, const std::string &arguments,
                     const std::string &name) const {
    const std::string command = "exec " + Quoted(Path(program)) + " " + arguments + " >" +
                                Quoted(Path(name + ".out")) + " 2>" + Quoted(Path(name + ".err")) +
                                " </dev/null";
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    return child;
}

int RunTest::KillLoop(const std::string &arguments, unsigned kills, int longest,
                      const std::function<bool()> &done, int finished) {
    std::mt19937 random(static_cast<unsigned>(std::random_device()()));
    std::uniform_int_distribution<int> pause(20, longest);
    int killed = 0;
    for (unsigned i = 0; i < kills && !done(); ++i) {
        const pid_t run = Start("rdrun", arguments, "run");
        const int ms = pause(random);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        kill(run, SIGKILL);
        const int ended = Ended(run);
        // 0: an earlier run finished just before its kill and this one
        // found nothing left to copy.
        if (ended == finished || ended == 0) break;
        EXPECT_EQ(128 + SIGKILL, ended) << "kill " << i << " after " << ms << " ms";
        ++killed;
    }
    return killed;
}

int RunTest::KillRuns(const std::string &arguments, unsigned runs, int longest,
                      const std::function<void(unsigned)> &change) {
    std::mt19937 random(static_cast<unsigned>(std::random_device()()));
    std::uniform_int_distribution<int> pause(5, longest);
    int killed = 0;
    for (unsigned i = 0; i < runs; ++i) {
        change(i);
        const pid_t run = Start("rdrun", arguments, "run");
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        kill(run, SIGKILL);
        const int ended = Ended(run);
        EXPECT_TRUE(ended == 0 || ended == 128 + SIGKILL) << "run " << i << ": " << ended;
        killed += ended != 0 ? 1 : 0;
    }
    return killed;
}

std::string RunTest::Log(const std::string &name) const {
    const Ran ran = Program("rdcsm", "log " + Quoted(name));
    EXPECT_EQ(0, ran.status) << ran.err;
    return ran.out;
}

Db::Db(const std::string &path) {
    EXPECT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db_)) << path;
}

Db::~Db() {
    sqlite3_close(db_);
}

void Db::Exec(const std::string &sql) {
    char *error = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error))
        << (error != nullptr ? error : "") << "\n"
        << sql;
    sqlite3_free(error);
}

std::string Db::Query(const std::string &sql) {
    std::string rows;
    const auto addRow = [](void *out, int columns, char **values, char **) {
        auto &text = *static_cast<std::string *>(out);
        for (int i = 0; i < columns; ++i)
            text.append(i == 0 ? "" : "|").append(values[i] != nullptr ? values[i] : "NULL");
        text += '\n';
        return 0;
    };
    char *error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), addRow, &rows, &error) != SQLITE_OK)
        rows = error != nullptr ? error : "error";
    sqlite3_free(error);
    return rows;
}

unsigned Setting(const char *name, unsigned fallback) {
    const char *value = std::getenv(name);
    const long number = value != nullptr ? std::atol(value) : 0;
    return number > 0 ? static_cast<unsigned>(number) : fallback;
}

bool WaitFor(const std::function<bool()> &condition) {
    // Bounded by the clock: a condition that runs a program takes far more
    // than the 10 ms between polls under a sanitizer.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;; usleep(10000)) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
}

size_t Count(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

void MakeOrders(const std::string &path, unsigned count) {
    ASSERT_EQ(0, rdtest::Shell(Quoted(RDTEST_MAKE_ORDERS) + " " + std::to_string(count) + " >" +
                               Quoted(path)));
}

long long OrderCents(unsigned count) {
    long long cents = 0;
    for (long long i = 1; i <= count; ++i)
        cents += (i * 7919) % 1000000;
    return cents;
}

} // namespace rdruntest
