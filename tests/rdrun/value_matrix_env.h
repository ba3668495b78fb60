// SPDX-License-Identifier: Apache-2.0
// The values real data holds at their limits, carried by rdrun through
// every pair of the connectors rdcsv, rdsqlite, rdpg and rdodbc (over the
// SQLite driver), and read back by each target's own client: the file's
// text, the sqlite3 C API, libpq.
#pragma once

#include "pg_run_env.h"

#include <string>
#include <vector>

namespace rdruntest {

// The columns: 32- and 64-bit integers, a numeric of 38 digits with 10
// after the point, an amount of 12 with 2, a date-time.
inline constexpr const char *kMatrixColumns =
    "id:int,i32:int,i64:bigint,n38:numeric(38,10),amt:numeric(12,2),dt:datetime";

// The rows as the engine writes them into a delimited file (empty: null).
inline const std::vector<std::string> kMatrixLines = {
    "1,-2147483648,-9223372036854775808,-9999999999999999999999999999.9999999999,"
    "-9999999999.99,0001-01-01 00:00:00",
    "2,2147483647,9223372036854775807,1234567890123456789012345678.0123456789,"
    "9999999999.99,9999-12-31 23:59:59.99",
    "3,0,0,0.0000000000,0.00,1582-10-15 00:00:00",
    "4,-5,-5,-0.2500000000,-12.50,1752-09-02 23:59:59.99",
    "5,10,10,1234567890123456789.0000000000,7600.00,1752-09-14 00:00:00",
    "6,100,100,12.5000000000,1.99,2024-06-30 10:15:00.12",
    "7,9,3000000000,0.0000000001,0.01,",
    "8,,9,,,2024-06-30 00:00:00",
};

class ValueMatrixTest : public OdbcRunTest {
  protected:
    // The ids of the rows whose column is not null, in the order the target
    // sorts them (ties by id); where: more conditions.
    static std::string SqliteOrder(Db &db, const std::string &table, const std::string &column,
                                   const std::string &where = "") {
        std::string ids =
            db.Query("SELECT group_concat(id, ',') FROM (SELECT id FROM " + table + " WHERE " +
                     column + " IS NOT NULL" + where + " ORDER BY " + column + ", id)");
        if (!ids.empty()) ids.pop_back();
        return ids;
    }
    static std::string PgOrder(const std::string &table, const std::string &column,
                               const std::string &where = "") {
        return rdtest::PgSql("SELECT string_agg(id::text, ',' ORDER BY " + column + ", id) FROM " +
                             table + " WHERE " + column + " IS NOT NULL" + where)
            .at(0);
    }
};

} // namespace rdruntest
