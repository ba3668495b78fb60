// SPDX-License-Identifier: Apache-2.0
#include "rdx_test_env.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace rdxtest {

const char *const kOrdersCsv = "id,amount,customer\r\n"
                               "1,12.50,Ada\r\n"
                               "2,0.99,\"Smith, Jo\"\r\n"
                               "3,100.00,\"say \"\"hi\"\"\"\r\n"
                               "4,7.25,Zoë Ørsted\r\n";
const char *const kOrderColumns = "id:int,amount:numeric(12,2),customer:text";

namespace {

pid_t Start(const std::string &path, const std::vector<std::string> &args, const std::string &out,
            const std::string &err) {
    const pid_t child = fork();
    if (child != 0) return child;
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    std::vector<char *> argv = {const_cast<char *>(path.c_str())};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

} // namespace

Ran RdxTest::Program(const std::string &path, const std::vector<std::string> &args) {
    // Named by this process: ctest runs test processes side by side.
    const std::string own = testing::TempDir() + "rdx_test." + std::to_string(getpid());
    const std::string out = own + ".out", err = own + ".err";
    Ran ran;
    ran.status = Ended(Start(path, args, out, err));
    ran.out = rdtest::ReadFile(out);
    ran.err = rdtest::ReadFile(err);
    unlink(out.c_str());
    unlink(err.c_str());
    return ran;
}

pid_t RdxTest::StartRdx(const std::vector<std::string> &args) const {
    return Start(RDTEST_RDX, args, Path("rdx.out"), Path("rdx.err"));
}

Ran RdxTest::Rdx(const std::vector<std::string> &args) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--home") homes_.push_back(args[i + 1]);
    return Program(RDTEST_RDX, args);
}

void RdxTest::TearDown() {
    homes_.push_back(DefaultHome());
    for (const std::string &home : homes_) {
        if (!rdtest::FileExists(home + "/quarry.ini") ||
            Program(RDTEST_RDCSM, {"-c", home, "status"}).status != 0)
            continue;
        EXPECT_EQ(0, Program(RDTEST_RDCSM, {"-c", home, "stop"}).status) << home;
    }
}

std::string SqliteRows(const std::string &database, const std::string &sql) {
    sqlite3 *db = nullptr;
    std::string rows;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        rows = sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        rows = sqlite3_errmsg(db);
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto *text = sqlite3_column_text(statement, i);
            rows += (i > 0 ? "|" : "") +
                    std::string(text ? reinterpret_cast<const char *>(text) : "NULL");
        }
        rows += "\n";
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

} // namespace rdxtest
