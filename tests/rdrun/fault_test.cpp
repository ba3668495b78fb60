// SPDX-License-Identifier: Apache-2.0
// Runs that are stopped or killed in the middle of a copy into SQLite: a
// stop keeps whole batches and is recorded, a rerun refuses to copy twice,
// and --resume after any number of kills gives the source row for row.
#include "run_test_env.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace rdruntest {
namespace {

// 1234567 as 1,234,567.
std::string Grouped(long value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

class FaultTest : public RunTest {
  protected:
    // orders.csv of `rows` orders copied into the table orders of o.db in
    // batches of `batch`.
    void DefineLoad(unsigned rows, unsigned batch) {
        rows_ = rows;
        MakeOrders(Path("orders.csv"), rows);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", batch, "stop"}));
    }
    // The rows of the target so far (0 while it has no table).
    long Rows() {
        Db db(Path("o.db"));
        return std::atol(db.Query("SELECT count(*) FROM orders").c_str());
    }
    // Waits until the target holds at least `rows` rows (about 60 s at most).
    void WaitForRows(long rows) {
        for (int i = 0; i < 6000 && Rows() < rows; ++i)
            usleep(10000);
    }
    // Runs the copy and stops it with SIGTERM once it has written a batch.
    void StopOnceWritten() {
        const pid_t run = Start("rdrun", "load", "run");
        WaitForRows(1);
        kill(run, SIGTERM);
        ASSERT_EQ(143, Ended(run)) << rdtest::ReadFile(Path("run.out"));
    }
    // The target holds every order once, with every amount.
    void ExpectWhole() {
        Db db(Path("o.db"));
        EXPECT_EQ(std::to_string(rows_) + "|" + std::to_string(rows_) + "|1|" +
                      std::to_string(rows_) + "|" + std::to_string(OrderCents(rows_)) + "\n",
                  db.Query("SELECT count(*), count(DISTINCT id), min(id), max(id), "
                           "CAST(round(sum(amount) * 100) AS INTEGER) FROM orders"));
    }

    unsigned rows_ = 0;
};

// SIGTERM, SIGINT and SIGHUP each end a one-shot run cleanly at its next
// library call: whole batches stay, the exit status is the shell's, and the
// log's last line says what was kept. The run without --resume then refuses
// to copy a second time; --resume finishes it.
TEST_F(FaultTest, StopKeepsWholeBatchesAndResumeFinishes) {
    DefineLoad(400000, 1000);
    struct Case {
        int signal, status;
    };
    size_t stopped = 0;
    for (const Case c : {Case{SIGTERM, 143}, Case{SIGINT, 130}, Case{SIGHUP, 129}}) {
        SCOPED_TRACE(c.signal);
        const long before = Rows();
        const pid_t run = Start("rdrun", "--resume load", "run");
        WaitForRows(before + 1);
        kill(run, c.signal);
        const int ended = Ended(run);
        const long kept = Rows();
        if (ended == 0 && kept == rows_) break; // the copy ended before the signal came
        EXPECT_EQ(c.status, ended) << rdtest::ReadFile(Path("run.out"));
        EXPECT_EQ(0, kept % 1000) << kept;
        const std::string out = rdtest::ReadFile(Path("run.out"));
        EXPECT_NE(std::string::npos,
                  out.find("Stopped (status 1542) on request after " + Grouped(kept) +
                           " records written in whole batches; run it with --resume to go on."))
            << out;
        // The statistics of the stopped run reached the server manager.
        const std::string stats = Program("rdcsm", "stats load").out;
        EXPECT_EQ(++stopped, Count(stats, "statistics:")) << stats;
    }
    const long kept = Rows();
    if (kept < static_cast<long>(rows_)) {
        const Ran again = Rdrun("load");
        EXPECT_EQ(1, again.status);
        EXPECT_NE(std::string::npos, again.out.find("of an unfinished run of load; run it with "
                                                    "--resume"))
            << again.out;
        EXPECT_EQ(kept, Rows());
    }
    const Ran resumed = Rdrun("--resume load");
    EXPECT_EQ(0, resumed.status) << resumed.out << resumed.err;
    ExpectWhole();
    EXPECT_NE(std::string::npos, Log("load").find("Resuming load after ")) << Log("load");
    // Resuming a copy that finished (its run may have been killed after its
    // end was committed) copies nothing twice.
    const Ran again = Rdrun("--resume load");
    EXPECT_EQ(0, again.status) << again.out << again.err;
    ExpectWhole();
    EXPECT_NE(std::string::npos, Log("load").find("Nothing to resume: the last run of load "
                                                  "finished after " +
                                                  Grouped(rows_) + " records written"))
        << Log("load");
}

// The refusal of a second copy into an unfinished target offers two ways
// on: --resume, or dropping the target, after which the copy starts again.
TEST_F(FaultTest, DroppingTheTargetStartsTheCopyAgain) {
    DefineLoad(300000, 1000);
    StopOnceWritten();
    const Ran refused = Rdrun("load");
    EXPECT_EQ(1, refused.status);
    EXPECT_NE(std::string::npos, refused.out.find("or drop the target to start again"))
        << refused.out;
    Db(Path("o.db")).Exec("DROP TABLE orders");
    const Ran again = Rdrun("load");
    EXPECT_EQ(0, again.status) << again.out << again.err;
    ExpectWhole();
}

// A run queued to resume is resumed by the host that takes it.
TEST_F(FaultTest, QueuedResumeGoesOnAfterTheStop) {
    DefineLoad(300000, 1000);
    StopOnceWritten();
    const Ran queued = Program("rdcsm", "run --resume load");
    ASSERT_EQ(0, queued.status) << queued.err;
    EXPECT_NE(std::string::npos, queued.out.find("(to resume)")) << queued.out;
    const pid_t serve = Start("rdrun", "--serve", "serve");
    std::string lines;
    for (int i = 0; i < 3000 && lines.find('\n') == std::string::npos; ++i, usleep(10000))
        lines = rdtest::ReadFile(Path("serve.out"));
    kill(serve, SIGTERM);
    EXPECT_EQ(0, Ended(serve));
    EXPECT_NE(std::string::npos, lines.find("load: ended successfully")) << lines;
    ExpectWhole();
    EXPECT_NE(std::string::npos, Log("load").find("Resuming load after ")) << Log("load");
}

// SIGKILL at random moments, each run started with --resume: the target
// ends with every source record exactly once.
TEST_F(FaultTest, KillLoopLosesAndRepeatsNothing) {
    DefineLoad(Setting("RDX_KILL_LOOP_ROWS", 600000), 500);
    const int killed = KillLoop("--resume --no-progress load", Setting("RDX_KILL_LOOP_KILLS", 20),
                                400, [this] { return Rows() == static_cast<long>(rows_); });
    const Ran last = Rdrun("--resume --no-progress load");
    EXPECT_EQ(0, last.status) << last.out << last.err;
    ExpectWhole();
    EXPECT_GT(killed, 0);
}

// Kills of a copy that skips bad records: the reject file ends with each
// bad record once, however often the copy was killed and resumed.
TEST_F(FaultTest, KillLoopListsEveryRejectOnce) {
    MakeOrders(Path("orders.csv"), 150000);
    std::istringstream lines(rdtest::ReadFile(Path("orders.csv")));
    std::string csv, rejects;
    int n = 0;
    for (std::string line; std::getline(lines, line); ++n) {
        if (n % 997 == 500) {
            line = "bad," + line;
            rejects += line + "\n";
        }
        csv += line + "\n";
    }
    rdtest::WriteFile(Path("bad.csv"), csv);
    rows_ = 150000;
    Define(CsvLink("csv", Path("bad.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 500, "skip"}) + "Rejects = \"" +
           Path("rejects.csv") + "\"\n");
    EXPECT_GT(KillLoop(
                  "--resume --no-progress load", 20, 150, [] { return false; }, 2),
              0);
    // The last run finishes the copy, or finds it finished.
    const int last = Rdrun("--resume --no-progress load").status;
    EXPECT_TRUE(last == 2 || last == 0) << last;
    EXPECT_EQ(rejects, rdtest::ReadFile(Path("rejects.csv")));
    const std::string log = rdtest::ReadFile(Path("rejects.csv.log"));
    EXPECT_EQ(std::count(rejects.begin(), rejects.end(), '\n'),
              std::count(log.begin(), log.end(), '\n'))
        << log;
    Db db(Path("o.db"));
    const long bad = std::count(rejects.begin(), rejects.end(), '\n');
    EXPECT_EQ(std::to_string(150000 - bad) + "|" + std::to_string(150000 - bad) + "\n",
              db.Query("SELECT count(*), count(DISTINCT id) FROM orders"));
}

// A closed standard output (a reader that went away, or none at all) does
// not end the run: the copy completes and the outcome is its own.
TEST_F(FaultTest, ClosedOutputDoesNotEndTheRun) {
    DefineLoad(20000, 1000);
    EXPECT_EQ(0, rdtest::Shell("exec " + Path("rdrun") + " load >&- 2>&-"));
    EXPECT_EQ(20000, Rows());
    Define(SqliteLink("db2", Path("o2.db")) +
           CopyActivity("load2", {"csv", "db2", "orders", "", 1000, "stop"}));
    // The reader of the pipe is gone before anything is written.
    int pipeEnds[2];
    ASSERT_EQ(0, pipe(pipeEnds));
    close(pipeEnds[0]);
    const pid_t run = fork();
    if (run == 0) {
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        const std::string program = Path("rdrun");
        execl(program.c_str(), program.c_str(), "load2", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    EXPECT_EQ(0, Ended(run));
    Db db(Path("o2.db"));
    EXPECT_EQ("20000\n", db.Query("SELECT count(*) FROM orders"));
}

// Workers of a server host end when their parent is killed outright.
TEST_F(FaultTest, WorkersDieWithTheirParent) {
    const pid_t serve = Start("rdrun", "--serve --workers 2", "serve");
    std::vector<pid_t> workers;
    for (int i = 0; i < 500 && workers.size() < 2; ++i, usleep(10000)) {
        workers.clear();
        std::istringstream children(rdtest::ReadFile("/proc/" + std::to_string(serve) + "/task/" +
                                                     std::to_string(serve) + "/children"));
        for (pid_t child; children >> child;)
            workers.push_back(child);
    }
    ASSERT_EQ(2u, workers.size());
    kill(serve, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, Ended(serve));
    // Orphans go to init (or a subreaper), not to this test: wait until
    // their process entries are gone or left as zombies.
    for (pid_t worker : workers) {
        bool alive = true;
        for (int i = 0; i < 500 && alive; ++i, usleep(10000)) {
            const std::string stat = rdtest::ReadFile("/proc/" + std::to_string(worker) + "/stat");
            const size_t paren = stat.rfind(')');
            alive = paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
        }
        EXPECT_FALSE(alive) << "worker " << worker << " outlived its parent";
    }
}

} // namespace
} // namespace rdruntest
