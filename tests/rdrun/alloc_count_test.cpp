// SPDX-License-Identifier: Apache-2.0
// What a copied record costs in heap allocations: rdrun copying CSV orders
// under a preloaded counter (tests/support/alloc_count.c), a long copy
// against a short one so that the run's fixed costs drop out. The short
// copy fills every record of the batches, so that the values' first
// storage counts among the fixed costs.
#include "run_test_env.h"

#include <cstdio>
#include <sstream>

namespace rdruntest {
namespace {

constexpr unsigned kBatch = 1000, kFew = 3000, kMany = 23000;

class AllocationTest : public RunTest {
  protected:
    // The allocations rdrun made running activity; -1 when the run failed
    // or left no count.
    long long Counted(const std::string &activity) {
        const std::string counts = Path("allocations.txt");
        std::remove(counts.c_str());
        const Ran ran =
            Program("/bin/sh", "-c \"env RD_ALLOC_COUNT_FILE='" + counts + "' LD_PRELOAD='" +
                                   RDTEST_ALLOC_COUNT + "' '" + Path("rdrun") +
                                   "' --quiet --no-progress " + activity + "\"");
        EXPECT_EQ(0, ran.status) << activity << ": " << ran.out << ran.err;
        std::istringstream lines(rdtest::ReadFile(counts));
        std::string program;
        long long count = -1, found = -1;
        while (lines >> program >> count)
            if (program == "rdrun") found = count;
        return ran.status == 0 ? found : -1;
    }

    // Allocations per record of copying the orders to the links
    // target + "few" and target + "many" (into table, if any), few against
    // many records.
    double PerRecord(const std::string &target, const std::string &table,
                     const std::string &links) {
        MakeOrders(Path("few.csv"), kFew);
        MakeOrders(Path("many.csv"), kMany);
        Define(CsvLink("few", Path("few.csv"), kOrderColumns) +
               CsvLink("many", Path("many.csv"), kOrderColumns) + links +
               CopyActivity("copyfew", {"few", target + "few", table, "", kBatch, "stop"}) +
               CopyActivity("copymany", {"many", target + "many", table, "", kBatch, "stop"}));
        const long long few = Counted("copyfew"), many = Counted("copymany");
        EXPECT_GT(few, 0);
        EXPECT_GT(many, few);
        const double perRecord = static_cast<double>(many - few) / (kMany - kFew);
        std::printf("%s: %lld allocations for %u records, %lld for %u: %.3f per record\n",
                    target.c_str(), few, kFew, many, kMany, perRecord);
        return perRecord;
    }

    void SetUp() override {
        RunTest::SetUp();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "a sanitizer's allocator takes no preloaded one before it";
#endif
    }
};

// Reading, converting into fields and the copy between two lists allocate
// nothing per record once the fields hold values; writing CSV neither. What
// remains is the batches' own (some 45 each), shared by their records.
TEST_F(AllocationTest, CsvToCsvAllocatesNothingPerRecord) {
    const double perRecord =
        PerRecord("csv", "",
                  CsvLink("csvfew", Path("outfew.csv"), kOrderColumns, true) +
                      CsvLink("csvmany", Path("outmany.csv"), kOrderColumns, true));
    EXPECT_EQ(Count(rdtest::ReadFile(Path("many.csv")), "\n"),
              Count(rdtest::ReadFile(Path("outmany.csv")), "\n"));
    EXPECT_LE(perRecord, 0.1);
}

// The whole process with the SQLite target: SQLite allocates for each
// statement it runs (some two), which an insert of many records at once
// shares among them.
TEST_F(AllocationTest, CsvToSqliteAllocatesLittlePerRecord) {
    const double perRecord =
        PerRecord("db", "orders",
                  SqliteLink("dbfew", Path("few.db")) + SqliteLink("dbmany", Path("many.db")));
    Db db(Path("many.db"));
    EXPECT_EQ(std::to_string(kMany) + "\n", db.Query("SELECT count(*) FROM orders"));
    EXPECT_LE(perRecord, 1.0);
}

} // namespace
} // namespace rdruntest
