// SPDX-License-Identifier: Apache-2.0
// The progress line tells the share of a source file read (and, once it can
// guess, the time left); a source that is not read as a file tells none.
#include "run_test_env.h"

#include <cctype>

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
    // The progress lines that tell a share: "N read, M written, P%[, about
    // T s|min left], R records/s, ...".
    static std::vector<int> Shares(const std::string &err) {
        std::vector<int> shares;
        size_t start = 0;
        while (start < err.size()) {
            size_t end = err.find_first_of("\r\n", start);
            if (end == std::string::npos) end = err.size();
            const int share = LineShare(err.substr(start, end - start));
            if (share >= 0) shares.push_back(share);
            start = end + 1;
        }
        return shares;
    }
    // The share a progress line tells, or -1.
    static int LineShare(const std::string &line) {
        const size_t written = line.find(" written, ");
        if (written == std::string::npos || line.find(" read, ") > written) return -1;
        size_t at = written + 10, digits = at;
        while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])))
            ++digits;
        if (digits == at || digits >= line.size() || line[digits] != '%') return -1;
        std::string rest = line.substr(digits + 1);
        if (rest.compare(0, 8, ", about ") == 0) {
            const size_t left = rest.find(" left");
            if (left == std::string::npos) return -1;
            const std::string time = rest.substr(8, left - 8);
            if (time.size() < 3 ||
                (time.find(" s") == std::string::npos && time.find(" min") == std::string::npos))
                return -1;
            rest.erase(0, left + 5);
        }
        if (rest.compare(0, 2, ", ") != 0 || rest.find(" records/s, ") == std::string::npos)
            return -1;
        return std::stoi(line.substr(at, digits - at));
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
