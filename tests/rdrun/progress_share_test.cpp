// The progress line tells the share of a source file read (and, once it can
// guess, the time left); a source that is not read as a file tells none.
#include "run_test_env.h"

#include <regex>

namespace rdruntest {
namespace {

class ProgressShareTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), 100000);
        Define(
            CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
            SqliteLink("copy", Path("copy.db")) +
            CopyActivity("load", {"csv", "db", "orders", "", 500, "stop"}) +
            CopyActivity("again", {"db", "copy", "orders", "SELECT * FROM orders", 500, "stop"}));
    }
    // The progress lines that tell a share: "N read, M written, P%, ...".
    static std::vector<int> Shares(const std::string &err) {
        static const std::regex line("read, [0-9,]+ written, ([0-9]+)%(, about [0-9]+ (s|min) "
                                     "left)?, [0-9,]+ records/s, ");
        std::vector<int> shares;
        for (std::sregex_iterator at(err.begin(), err.end(), line), end; at != end; ++at)
            shares.push_back(std::stoi((*at)[1]));
        return shares;
    }
};

TEST_F(ProgressShareTest, FileSourceTellsTheShareReadAndADatabaseSourceNone) {
    const Ran file = Rdrun("--progress-every 0 load");
    ASSERT_EQ(0, file.status) << file.out << file.err;
    const std::vector<int> shares = Shares(file.err);
    ASSERT_FALSE(shares.empty()) << file.err;
    for (size_t i = 0; i < shares.size(); ++i) {
        EXPECT_LE(shares[i], 100) << file.err;
        if (i > 0) {
            EXPECT_GE(shares[i], shares[i - 1]) << file.err;
        }
    }
    // The last line has the final counts; the file is closed by then.
    EXPECT_NE(std::string::npos, file.err.find("100,000 read, 100,000 written, ")) << file.err;

    const Ran database = Rdrun("--progress-every 0 again");
    ASSERT_EQ(0, database.status) << database.out << database.err;
    EXPECT_EQ(std::string::npos, database.err.find('%')) << database.err;
    EXPECT_NE(std::string::npos, database.err.find("100,000 read, 100,000 written, "))
        << database.err;
}

TEST_F(ProgressShareTest, ProgressEveryIsChecked) {
    for (const char *refused : {"--progress-every -1 load", "--progress-every soon load"})
        EXPECT_EQ(64, Rdrun(refused).status) << refused;
}

} // namespace
} // namespace rdruntest
