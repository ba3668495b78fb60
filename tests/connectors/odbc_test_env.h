// SPDX-License-Identifier: Apache-2.0
// The ODBC connector under test, through the driver manager and the SQLite
// and PostgreSQL ODBC drivers: a temporary folder holds the driver and
// data-source files (ODBCSYSINI, ODBCINI) and the database file of the data
// source "rdtest"; "rdpgtest" reaches the temporary PostgreSQL cluster once
// it runs. The driver manager keeps the first folder it reads, so one
// folder serves the whole test program; each test starts with a new
// database file.
#pragma once

#include "connector_harness.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace connectortest {

class OdbcFolder {
  public:
    static OdbcFolder &Get() {
        static OdbcFolder folder;
        return folder;
    }
    std::string Path(const std::string &name) const { return root_ + "/" + name; }

    static constexpr const char *kPgDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

    // Points "rdpgtest" at the PostgreSQL cluster on socket folder and port
    // (a cluster started again comes on another port).
    void SetPgSource(const std::string &socket, const std::string &port) {
        WriteFile(Path("odbc.ini"),
                  SqliteSource() + "[rdpgtest]\nDriver=PostgreSQL\nServername=" + socket +
                      "\nPort=" + port + "\nDatabase=postgres\nUsername=postgres\n");
    }

  private:
    OdbcFolder() {
        char pattern[] = "/tmp/rdodbc-test-XXXXXX";
        root_ = mkdtemp(pattern) ? pattern : "";
        const char *driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
        WriteFile(Path("odbcinst.ini"),
                  std::string("[SQLite3]\nDriver=") +
                      (std::filesystem::exists(driver) ? driver : "libsqlite3odbc.so") +
                      "\n[PostgreSQL]\nDriver=" + kPgDriver + "\n");
        WriteFile(Path("odbc.ini"), SqliteSource());
        setenv("ODBCSYSINI", root_.c_str(), 1);
        setenv("ODBCINI", Path("odbc.ini").c_str(), 1);
    }
    std::string SqliteSource() const {
        return "[rdtest]\nDriver=SQLite3\nDatabase=" + Path("test.db") + "\nTimeout=2000\n";
    }
    ~OdbcFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    std::string root_;
};

// The date-time of value index of field as "Y-M-D h:m:s.hh" ("<null>").
inline std::string DatetimeText(uint32_t list, uint32_t position, uint32_t index) {
    uint32_t field = 0;
    EXPECT_EQ(0u, RDFieldlistGetField(list, position, 256, &field, nullptr));
    RDDatetime value{};
    uint32_t isNull = 0;
    EXPECT_EQ(0u, RDFieldGetDatetime(field, index, &value, &isNull));
    if (isNull != 0) return "<null>";
    RDDatetimeParts p{};
    EXPECT_EQ(0u, RDDatetimeGetParts(&value, 0, &p));
    char text[64];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d.%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second, p.hundredth);
    return text;
}

inline void SetDatetime(uint32_t list, uint32_t position, uint32_t index, RDDatetimeParts parts) {
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, position, 256, &field, nullptr));
    RDDatetime value{};
    ASSERT_EQ(0u, RDDatetimeSetParts(&value, &parts, 0));
    ASSERT_EQ(0u, RDFieldSetDatetime(field, index, &value));
}

// Makes the table of db from a field list of every kind and writes four
// records: nulls, an empty text, non-ASCII text, extreme numbers, date-times
// with hundredths and a date alone.
inline void WriteEveryKind(Plugin &odbc, Connection &db) {
    List written(4);
    Fill(written,
         {{"id", RDTYPE_INT},
          {"price", RDTYPE_FLOAT},
          {"amount", RDTYPE_NUMERIC},
          {"name", RDTYPE_TEXT},
          {"placed", RDTYPE_DATETIME}},
         {
             {"1", "2.5", "12.34", "Grüße, \"Zoë\" – 東京", "<null>"},
             {"-2147483648", "-1e+300", "-0.5", "", "<null>"},
             {"<null>", "<null>", "<null>", "<null>", "<null>"},
             {"2147483647", "0", "99999999.99", "plain", "<null>"},
         });
    SetDatetime(written, 5, 1, {2024, 2, 29, -1, 23, 59, 58, 75, 0, 0});
    SetDatetime(written, 5, 2, {1999, 12, 31, -1, -1, -1, -1, -1, 0, 0}); // a date alone
    SetDatetime(written, 5, 4, {2000, 1, 1, -1, 0, 0, 1, 0, 0, 0});
    ASSERT_EQ(0u, odbc.RDXCreate(db.Private(), 3, written)) << db.LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, db.Insert(written, 1, 4, &done)) << db.LastError();
    EXPECT_EQ(4u, done);
}

class OdbcTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        std::remove(folder_.Path("test.db").c_str());
    }

    // A connection to the data source "rdtest" with the given properties,
    // connected (the status is checked).
    std::unique_ptr<Connection>
    Open(const std::vector<std::pair<std::string, std::string>> &props = {},
         uint32_t expectConnect = 0) {
        auto c = std::make_unique<Connection>(odbc_);
        EXPECT_EQ(0u, c->Set("DataSource", "rdtest"));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, c->Set(property, value)) << property;
        EXPECT_EQ(expectConnect, c->Connect()) << c->LastError();
        return c;
    }
    uint32_t Execute(Connection &c, const std::string &sql, uint32_t *count = nullptr) {
        EXPECT_EQ(0u, c.Set("SQL", sql));
        uint32_t local = 0;
        return odbc_.RDXExecute(c.Private(), 0, 0, count ? count : &local);
    }
    // The first column of the first row of sql, straight from SQLite.
    std::string Query(const std::string &sql) { return SqliteFirst(folder_.Path("test.db"), sql); }

    OdbcFolder &folder_ = OdbcFolder::Get();
    Plugin odbc_{RDTEST_RDODBC_PATH};
};

} // namespace connectortest
