// SPDX-License-Identifier: Apache-2.0
// Several hosts on one PostgreSQL store: each host is a server manager with
// its own home and pipe folder and its own `rdrun --serve --workers 2`, all
// sharing the suite's PostgreSQL cluster as their store. Queued copies end
// exactly once whatever happens to the hosts or the store, and no target
// misses or repeats a row.
#include "pg_cluster.h"
#include "run_test_env.h"

#include <csignal>
#include <libpq-fe.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace rdruntest {
namespace {

constexpr const char *kLinked[][2] = {
    {RDTEST_RDCSM, "rdcsm"},           {RDTEST_RDRUN, "rdrun"},       {RDTEST_RDCSV, "rdcsv.rdx"},
    {RDTEST_RDSQLITE, "rdsqlite.rdx"}, {RDTEST_RDCOPY, "rdcopy.rdx"},
};
// Orders per copy: enough that a copy runs for a good part of a second, so
// that a kill meets copies at work.
constexpr unsigned kOrders = 20000;
constexpr int kLeaseMs = 2000;

std::string Quoted(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class HostsTest : public RunTest {
  protected:
    void SetUp() override {
        const std::string &failure = rdtest::PgCluster::Start();
        if (!failure.empty()) GTEST_SKIP() << failure;
        static int tests = 0;
        database_ = "hosts_" + std::to_string(getpid()) + "_" + std::to_string(++tests);
        rdtest::PgSql("CREATE DATABASE " + database_);
        store_ = "host=" + rdtest::PgCluster::Socket() + " port=" + rdtest::PgCluster::Port() +
                 " user=postgres dbname=" + database_;
        MakeOrders(Path("orders.csv"), kOrders);
        for (int i = 1; i <= 3; ++i)
            AddHost("h" + std::to_string(i));
    }
    void TearDown() override {
        for (HostHome &host : hosts_)
            StopHost(host, SIGTERM);
        if (!database_.empty())
            rdtest::PgSql("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    }

    static void TearDownTestSuite() { rdtest::PgCluster::Stop(); }

    struct HostHome {
        std::string name, dir;
        pid_t group = -1;
    };

    void AddHost(const std::string &name) {
        const std::string dir = Path(name + "/");
        ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
        ASSERT_EQ(0, mkdir((dir + "pipes").c_str(), 0700));
        rdtest::WriteFile(dir + "quarry.ini",
                          "[Configuration]\nDirectory=" + dir + "\nKitType=2\n");
        for (const auto &[from, to] : kLinked)
            ASSERT_EQ(0, symlink(from, (dir + to).c_str())) << to;
        hosts_.push_back({name, dir});
    }

    // The environment of a host's programs: its own pipe folder and registry.
    std::string Env(const HostHome &host) const {
        return "RD_PIPE_DIR=" + Quoted(host.dir + "pipes") +
               " RD_REGISTRY=" + Quoted(host.dir + "registry") + " ";
    }

    // Starts the host's rdcsm and, once it serves, its rdrun with two
    // workers, all in one process group of their own.
    void StartHost(HostHome &host) {
        const std::string script =
            Env(host) + Quoted(host.dir + "rdcsm") + " --store " + Quoted(store_) +
            " serve --host " + host.name + " --lease-ms " + std::to_string(kLeaseMs) + " >>" +
            Quoted(host.dir + "csm.txt") + " 2>&1 & " + "for i in $(seq 500); do " + Env(host) +
            Quoted(host.dir + "rdcsm") + " status >/dev/null 2>&1 && break; sleep 0.02; done; " +
            "exec env " + Env(host) + Quoted(host.dir + "rdrun") + " --serve --workers 2 >>" +
            Quoted(host.dir + "host.txt") + " 2>&1";
        host.group = fork();
        if (host.group == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        setpgid(host.group, host.group);
    }

    void StopHost(HostHome &host, int signal) {
        if (host.group <= 0) return;
        kill(-host.group, signal);
        Ended(host.group);
        // The rest of the group (rdcsm, the workers) ends with it.
        for (int i = 0; i < 1000 && kill(-host.group, 0) == 0; ++i)
            usleep(10000);
        host.group = -1;
    }

    Ran Tool(const HostHome &host, const std::string &arguments) const {
        Ran ran;
        ran.status =
            rdtest::Shell(Env(host) + Quoted(host.dir + "rdcsm") + " --store " + Quoted(store_) +
                          " " + arguments + " >" + Quoted(host.dir + "out.txt") + " 2>" +
                          Quoted(host.dir + "err.txt") + " </dev/null");
        ran.out = rdtest::ReadFile(host.dir + "out.txt");
        ran.err = rdtest::ReadFile(host.dir + "err.txt");
        return ran;
    }

    // Defines `runs` copies of orders.csv into a database each and queues a
    // run of each, the queueing spread over the hosts.
    void QueueCopies(int runs) {
        std::string toml = CsvLink("csv", Path("orders.csv"), kOrderColumns);
        for (int i = 0; i < runs; ++i) {
            const std::string n = std::to_string(i);
            toml += SqliteLink("t" + n, Path("t" + n + ".db")) +
                    CopyActivity("copy" + n, {"csv", "t" + n, "orders", "", 500, "stop"});
        }
        rdtest::WriteFile(Path("job.toml"), toml);
        const Ran defined = Tool(hosts_[0], "define " + Quoted(Path("job.toml")));
        ASSERT_EQ(0, defined.status) << defined.err;
        for (int i = 0; i < runs; ++i) {
            const Ran queued = Tool(hosts_[i % hosts_.size()], "run copy" + std::to_string(i));
            ASSERT_EQ(0, queued.status) << queued.err;
        }
    }

    // Rows of a query on the store, columns joined by '|', one per line.
    std::string Store(const std::string &sql) const {
        PGconn *db = PQconnectdb(store_.c_str());
        std::string rows;
        PGresult *result = PQexec(db, sql.c_str());
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            rows = std::string("error: ") + PQerrorMessage(db);
        } else {
            for (int r = 0; r < PQntuples(result); ++r) {
                for (int c = 0; c < PQnfields(result); ++c)
                    rows += (c > 0 ? "|" : "") + std::string(PQgetvalue(result, r, c));
                rows += "\n";
            }
        }
        PQclear(result);
        PQfinish(db);
        return rows;
    }

    bool AllEnded(int runs) const {
        return Store("SELECT count(*) FROM runs WHERE state >= 2") == std::to_string(runs) + "\n";
    }

    // Every run ended well, once, and every target holds each order once.
    void ExpectExact(int runs) {
        EXPECT_EQ(std::to_string(runs) + "|" + std::to_string(runs) + "\n",
                  Store("SELECT count(*), count(DISTINCT activity) FROM runs"));
        EXPECT_EQ("", Store("SELECT id, state, end_code FROM runs WHERE state <> 2 OR "
                            "end_code <> 0"))
            << HostOutputs();
        const std::string whole = std::to_string(kOrders) + "|" + std::to_string(kOrders) + "\n";
        for (int i = 0; i < runs; ++i) {
            SCOPED_TRACE("copy" + std::to_string(i));
            EXPECT_EQ(whole, Db(Path("t" + std::to_string(i) + ".db"))
                                 .Query("SELECT count(*), count(DISTINCT id) FROM orders"));
        }
    }

    std::string HostOutputs() const {
        std::string all;
        for (const HostHome &host : hosts_)
            all += "== " + host.name + "\n" + rdtest::ReadFile(host.dir + "csm.txt") +
                   rdtest::ReadFile(host.dir + "host.txt");
        return all;
    }

    std::string database_, store_;
    std::vector<HostHome> hosts_;
};

TEST_F(HostsTest, ThreeHostsShareOneQueueAndEachRunEndsOnce) {
    const int runs = static_cast<int>(Setting("RDX_HOSTS_RUNS", 45));
    QueueCopies(runs);
    for (HostHome &host : hosts_)
        StartHost(host);
    ASSERT_TRUE(WaitFor([&] { return AllEnded(runs); }))
        << Store("SELECT id, state, host FROM runs WHERE state < 2") << HostOutputs();
    ExpectExact(runs);
    EXPECT_EQ("", Store("SELECT id, claims FROM runs WHERE claims <> 1"));
    EXPECT_EQ("3\n", Store("SELECT count(DISTINCT host) FROM runs"));
    // Every host's tool shows every host's runs.
    for (const HostHome &host : hosts_) {
        const Ran runs = Tool(host, "runs");
        ASSERT_EQ(0, runs.status) << runs.err;
        const std::string &list = runs.out;
        for (const HostHome &other : hosts_)
            EXPECT_NE(std::string::npos, list.find("  host " + other.name + "  ")) << list;
    }
}

// Hosts killed hard (rdcsm and workers at once) and started again at random
// moments: their runs are taken over and resumed by the others.
TEST_F(HostsTest, KilledHostsRunsAreTakenOverAndResumed) {
    const int runs = static_cast<int>(Setting("RDX_HOSTS_RUNS", 45));
    QueueCopies(runs);
    for (HostHome &host : hosts_)
        StartHost(host);
    std::mt19937 random(static_cast<unsigned>(std::random_device()()));
    std::uniform_int_distribution<int> pause(200, 1000), which(0, 2);
    const unsigned kills = Setting("RDX_HOSTS_KILLS", 4);
    for (unsigned kill = 0; kill < kills && !AllEnded(runs); ++kill) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        // A host seen copying, so that the kill meets a run at work.
        const std::string busy =
            Store("SELECT host FROM runs WHERE state = 1 ORDER BY random() LIMIT 1");
        HostHome *host = &hosts_[static_cast<std::size_t>(which(random))];
        for (HostHome &candidate : hosts_)
            if (busy == candidate.name + "\n") host = &candidate;
        StopHost(*host, SIGKILL);
        // Back at once, or after its lease ran out and another host took
        // its runs.
        if (kill % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(kLeaseMs * 2));
        StartHost(*host);
    }
    ASSERT_TRUE(WaitFor([&] { return AllEnded(runs); }))
        << Store("SELECT id, state, host, claims, host_pid, host_start, lease_ms FROM runs "
                 "WHERE state < 2")
        << HostOutputs();
    ExpectExact(runs);
    // Kills met running runs, which other hosts (or the host back again)
    // resumed.
    EXPECT_NE("0\n", Store("SELECT count(*) FROM runs WHERE claims > 1"));
    // The first host killed stayed down past its leases: others took its runs.
    EXPECT_NE("0\n", Store("SELECT count(*) FROM log WHERE text LIKE '%(its lease ran out)%'"));
}

// The store restarted while the hosts run: nothing acknowledged is lost and
// every run ends.
TEST_F(HostsTest, AStoreRestartLosesNothing) {
    const int runs = 20;
    QueueCopies(runs);
    for (HostHome &host : hosts_)
        StartHost(host);
    ASSERT_TRUE(
        WaitFor([&] { return Store("SELECT count(*) > 0 FROM runs WHERE state >= 2") == "t\n"; }));
    ASSERT_TRUE(rdtest::PgCluster::Restart());
    ASSERT_TRUE(WaitFor([&] { return AllEnded(runs); }))
        << Store("SELECT id, state, host, claims FROM runs WHERE state < 2") << HostOutputs();
    ExpectExact(runs);
}

} // namespace
} // namespace rdruntest
