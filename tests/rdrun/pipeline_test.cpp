// SPDX-License-Identifier: Apache-2.0
// The copy reading its next batch on a second thread while it writes this
// one gives what the serial copy gives: the same rows, rejects, exit status,
// output and log, through bad source lines, records the target refuses,
// stops at a fault, and SIGTERM and SIGKILL in the middle with a resume.
#include "run_test_env.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace rdruntest {
namespace {

constexpr unsigned kRows = 400;

// Orders 1..kRows; every 37th line cannot be read (its amount), and ids that
// are multiples of 41 come twice, the second time refused by a UNIQUE target.
std::string FaultyOrders() {
    std::string text = "id,amount,ordered_at,customer\n";
    for (unsigned i = 1; i <= kRows; ++i) {
        const std::string id = std::to_string(i);
        if (i % 37 == 0) {
            text += id + ",12;5,2026-01-01 10:00:00,bad\n";
            continue;
        }
        const std::string line = id + "," + id + ".25,2026-02-0" + std::to_string(1 + i % 9) +
                                 " 08:30:00,\"Name \"\"" + id + "\"\", é\"\n";
        text += line;
        if (i % 41 == 0) text += line;
    }
    return text;
}

// Each line of text (without its line end) given to keep, the kept lines
// joined again.
template <class Keep> std::string Lines(const std::string &text, Keep keep) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        out += keep(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// The log without its times and run numbers: each line from the two spaces
// after "run N" on.
std::string Timeless(const std::string &log) {
    return Lines(log, [](const std::string &line) {
        size_t cut = line.find("  run ");
        if (cut != std::string::npos) cut = line.find("  ", cut + 6);
        return (cut == std::string::npos ? line : line.substr(cut)) + "\n";
    });
}

// rdrun's output without the lines of durations and rates.
std::string Settled(const std::string &out) {
    return Lines(out, [](const std::string &line) {
        const bool timed =
            line.find("/s") != std::string::npos || line.find(" in ") != std::string::npos;
        return timed ? std::string() : line + "\n";
    });
}

struct Outcome {
    int status = -1;
    std::string rows, rejects, log, out;
};

class PipelineTest : public RunTest {
  protected:
    // Copies source.csv into a UNIQUE table of its own with OnError and
    // batches of `batch`, pipelined or not.
    Outcome Copy(const std::string &name, const char *onError, unsigned batch, bool pipelined) {
        {
            Db db(Path(name + ".db"));
            db.Exec("CREATE TABLE orders(id INTEGER UNIQUE, amount NUMERIC(12,2), "
                    "ordered_at DATETIME, customer TEXT)");
        }
        const bool skip = std::string(onError) == "skip";
        Define(
            CsvLink(name + "_csv", Path("source.csv"), kOrderColumns) +
            SqliteLink(name + "_db", Path(name + ".db")) +
            CopyActivity(name, {name + "_csv", name + "_db", "orders", "", batch, onError, false}) +
            (skip ? "Rejects = \"" + Path(name + ".rejects") + "\"\n" : "") +
            "Pipeline = " + (pipelined ? "1" : "0") + "\n");
        const Ran ran = Rdrun(name);
        Outcome outcome;
        outcome.status = ran.status;
        Db db(Path(name + ".db"));
        outcome.rows = db.Query("SELECT * FROM orders ORDER BY rowid");
        if (skip) outcome.rejects = rdtest::ReadFile(Path(name + ".rejects"));
        outcome.log = Timeless(Log(name));
        outcome.out = Settled(ran.out);
        return outcome;
    }
    void ExpectSame(const char *onError, unsigned batch) {
        SCOPED_TRACE(std::string(onError) + " in batches of " + std::to_string(batch));
        const std::string tag = std::string(onError) + std::to_string(batch);
        const Outcome serial = Copy("serial_" + tag, onError, batch, false);
        const Outcome piped = Copy("piped_" + tag, onError, batch, true);
        EXPECT_EQ(serial.status, piped.status);
        EXPECT_EQ(serial.rows, piped.rows);
        EXPECT_EQ(serial.rejects, piped.rejects);
        // The logs differ only in the activity's name.
        std::string log = piped.log;
        for (size_t at; (at = log.find("piped_")) != std::string::npos;)
            log.replace(at, 6, "serial_");
        EXPECT_EQ(serial.log, log);
        std::string out = piped.out;
        for (size_t at; (at = out.find("piped_")) != std::string::npos;)
            out.replace(at, 6, "serial_");
        EXPECT_EQ(serial.out, out);
    }
};

TEST_F(PipelineTest, SameRowsStatusesAndLogsAsTheSerialCopy) {
    rdtest::WriteFile(Path("source.csv"), FaultyOrders());
    for (const unsigned batch : {1u, 7u, 64u, 1000u}) {
        ExpectSame("skip", batch);
        ExpectSame("stop", batch);
    }
    // The skipping copy wrote every readable order once.
    Db db(Path("piped_skip7.db"));
    EXPECT_EQ("390|390\n", db.Query("SELECT count(*), count(DISTINCT id) FROM orders"));
}

// Stops and kills of a pipelined copy keep whole batches, and resumes end
// with every order once.
TEST_F(PipelineTest, StopsAndKillsResumeToEveryOrderOnce) {
    constexpr unsigned kOrders = 200000;
    MakeOrders(Path("orders.csv"), kOrders);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 500, "stop"}) + "Pipeline = 1\n");
    auto rows = [&] {
        Db db(Path("o.db"));
        return std::atol(db.Query("SELECT count(*) FROM orders").c_str());
    };
    const pid_t run = Start("rdrun", "load", "run");
    ASSERT_TRUE(WaitFor([&] { return rows() > 0; }));
    kill(run, SIGTERM);
    EXPECT_EQ(143, Ended(run)) << rdtest::ReadFile(Path("run.out"));
    EXPECT_EQ(0, rows() % 500);
    KillLoop("--resume load", 3, 400, [&] { return rows() == kOrders; });
    const Ran last = Rdrun("--resume load");
    EXPECT_TRUE(last.status == 0) << last.out << last.err;
    Db db(Path("o.db"));
    EXPECT_EQ(std::to_string(kOrders) + "|" + std::to_string(kOrders) + "|" +
                  std::to_string(OrderCents(kOrders)) + "\n",
              db.Query("SELECT count(*), count(DISTINCT id), "
                       "CAST(round(sum(amount) * 100) AS INTEGER) FROM orders"));
}

} // namespace
} // namespace rdruntest
