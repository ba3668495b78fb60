// SPDX-License-Identifier: Apache-2.0
// Faults of a delimited target: what fails the whole file (a full disk,
// records of another layout than the file's) is the target's fault
// (12325) at the first batch, never a record's; and the file's identity.
#include "csv_test_env.h"
#include "small_disk.h"

#include <unistd.h>

namespace connectortest {
namespace {

TEST_F(CsvTest, AFullDiskIsTheTargetsFault) {
    SmallDisk disk(Path("disk"), "64k");
    if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
    List list(100);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back({std::to_string(i), std::string(200, 'x')});
    Fill(list, {{"id", RDTYPE_INT}, {"text", RDTYPE_TEXT}}, rows);
    Connection out(csv_);
    ASSERT_EQ(0u, out.Set("Path", disk.Path("out.csv")));
    ASSERT_EQ(0u, out.Set("Create", "yes"));
    ASSERT_EQ(0u, out.Connect());
    uint32_t status = 0, done = 0;
    std::string before;
    for (int batch = 0; batch < 10 && status == 0; ++batch) {
        before = ReadFile(disk.Path("out.csv"));
        status = out.Insert(list, 1, 100, &done);
    }
    EXPECT_EQ(RDSTATUS_FREETEXT, status);
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, out.LastError().find("No space left on device"))
        << out.LastError();
    EXPECT_EQ(before, ReadFile(disk.Path("out.csv")));
    // Record by record, once the last ones that fit are in, it is the same
    // fault, not one of the record.
    for (int record = 0; record < 100 && status != RDSTATUS_FREETEXT; ++record)
        status = out.Insert(list, 1, 1, &done);
    EXPECT_EQ(RDSTATUS_FREETEXT, status);
}

// Appended records must have the fields the header names (case aside), or
// as many as the lines of a file without one.
TEST_F(CsvTest, AppendsKeepToTheFilesLayout) {
    struct Case {
        std::string file, header;
        std::vector<std::string> fields;
        std::string says; // empty: appended
    };
    const Case cases[] = {
        {"id,name\n1,a\n",
         "yes",
         {"id", "name", "extra"},
         "the records have the fields id, name, extra; the header of " + Path("a.csv") +
             " names the columns id, name: "},
        {"id,name\n1,a\n", "yes", {"name", "id"}, "the header of"},
        {"id,name\n1,a\n", "yes", {"ID", "Name"}, ""},
        {"\"id\",\"na,me\"\n", "yes", {"id", "na,me"}, ""},
        {"1,a\n", "no", {"x", "y", "z"}, "the records have 3 fields; the lines of"},
        {"1,a\n", "no", {"x", "y"}, ""},
        {"1,\"a\n", "yes", {"x", "y"}, "cannot be read"},
    };
    for (const Case &c : cases) {
        WriteFile(Path("a.csv"), c.file);
        auto out = Open("a.csv", {{"Header", c.header}});
        List list(1);
        std::vector<std::pair<std::string, uint32_t>> fields;
        for (const std::string &name : c.fields)
            fields.emplace_back(name, RDTYPE_TEXT);
        Fill(list, fields, {std::vector<std::string>(c.fields.size(), "v")});
        uint32_t done = 0;
        const uint32_t status = out->Insert(list, 1, 1, &done);
        if (c.says.empty()) {
            EXPECT_EQ(0u, status) << out->LastError();
            continue;
        }
        EXPECT_EQ(RDSTATUS_FREETEXT, status) << c.says;
        EXPECT_NE(std::string::npos, out->LastError().find(c.says)) << out->LastError();
        EXPECT_EQ(c.file, ReadFile(Path("a.csv")));
    }
}

TEST_F(CsvTest, IdentityIsTheFileByDeviceAndInode) {
    WriteFile(Path("a.csv"), "x\n1\n");
    WriteFile(Path("b.csv"), "x\n1\n");
    ASSERT_EQ(0, symlink(Path("a.csv").c_str(), Path("link.csv").c_str()));
    auto a = Open("a.csv");
    auto again = Open("link.csv");
    auto b = Open("b.csv");
    auto missing = Open("new.csv", {{"Create", "yes"}});
    EXPECT_EQ(0u, a->Get("Identity").rfind("file:", 0)) << a->Get("Identity");
    EXPECT_EQ(a->Get("Identity"), again->Get("Identity"));
    EXPECT_NE(a->Get("Identity"), b->Get("Identity"));
    EXPECT_EQ("", missing->Get("Identity"));
    EXPECT_EQ(RDSTATUS_BADPROPERTY, a->Set("Identity", "file:1:2"));
    WriteFile(Path("new.csv"), "x\n");
    EXPECT_NE("", missing->Get("Identity"));
}

} // namespace
} // namespace connectortest
