// SPDX-License-Identifier: Apache-2.0
// The delimited-text connector's part in resuming a copy. As a target: the
// mark kept beside the file with the file's length after the marked batch,
// the file cut back to that length at the next connect (a batch torn by a
// kill is gone), a file shorter than its mark refused. As a source: the
// read position of the next record, and a select that goes on there with
// the file's true line numbers.
#include "csv_test_env.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace connectortest {
namespace {

constexpr uint32_t kSaveMark = 0x4D41524B;

class CsvResumeTest : public CsvTest {
  protected:
    // A target connection of copy name to out.csv.
    std::unique_ptr<Connection> Target(const std::string &name, uint32_t expectConnect = 0) {
        return Open("out.csv", {{"Create", "yes"}, {"LineEnd", "LF"}, {"MarkName", name}},
                    expectConnect);
    }
    std::string Marks() { return ReadFile(Path("out.csv.rdx-mark")); }
};

TEST_F(CsvResumeTest, TargetCutBackToItsMarkAtConnect) {
    List in(4);
    Fill(in, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {{"1", "a"}, {"2", "tab\there"}, {"3", "c"}, {"4", "d"}});
    uint32_t done = 0;
    {
        auto out = Target("load");
        EXPECT_EQ("", out->Get("Mark"));
        // The new file carries its first mark.
        ASSERT_EQ(0u, out->Set("Mark", "records=0"));
        ASSERT_EQ(0u, csv_.RDXCreate(out->Private(), 3, in)) << out->LastError();
        EXPECT_EQ("rdx-mark 1\nload\t8\trecords=0\n", Marks());
        ASSERT_EQ(0u, out->Set("Mark", "records=2\nnext"));
        ASSERT_EQ(0u, out->Insert(in, 1, 2, &done)) << out->LastError();
        EXPECT_EQ("rdx-mark 1\nload\t23\trecords=2\\nnext\n", Marks());
        // A batch without a new mark is not counted by the mark.
        ASSERT_EQ(0u, out->Insert(in, 3, 1, &done));
    }
    EXPECT_EQ("id,name\n1,a\n2,tab\there\n3,c\n", ReadFile(Path("out.csv")));
    // A torn batch after the mark: gone at the next connect, and the copy
    // goes on without a second header.
    {
        std::ofstream(Path("out.csv"), std::ios::app) << "4,torn";
        auto out = Target("load");
        EXPECT_EQ("records=2\nnext", out->Get("Mark"));
        EXPECT_EQ("id,name\n1,a\n2,tab\there\n", ReadFile(Path("out.csv")));
        ASSERT_EQ(0u, out->Set("Mark", "records=4"));
        ASSERT_EQ(0u, out->Insert(in, 3, 2, &done)) << out->LastError();
    }
    EXPECT_EQ("id,name\n1,a\n2,tab\there\n3,c\n4,d\n", ReadFile(Path("out.csv")));
    // Another copy's mark beside it; the action stores the present length.
    {
        auto other = Target("other");
        EXPECT_EQ("", other->Get("Mark"));
        ASSERT_EQ(0u, other->Set("Mark", "x"));
        ASSERT_EQ(0u, csv_.RDXAction(other->Private(), kSaveMark)) << other->LastError();
        EXPECT_EQ("rdx-mark 1\nload\t31\trecords=4\nother\t31\tx\n", Marks());
        EXPECT_EQ(0u, csv_.RDXAction(other->Private(), 0x524F4C4C));
    }
    // A file shorter than its mark was changed by someone else: refused.
    ASSERT_EQ(0, truncate(Path("out.csv").c_str(), 30));
    auto changed = Target("load", RDSTATUS_FREETEXT);
    EXPECT_NE(std::string::npos,
              changed->LastError().find("holds 30 bytes, fewer than the 31 that the mark of copy "
                                        "load recorded"))
        << changed->LastError();
    EXPECT_EQ(30u, ReadFile(Path("out.csv")).size());
    // Without a name the file is not touched, and no mark can be saved.
    auto unnamed = Open("out.csv");
    EXPECT_EQ(30u, ReadFile(Path("out.csv")).size());
    EXPECT_EQ(RDSTATUS_FREETEXT, csv_.RDXAction(unnamed->Private(), kSaveMark));
    // A file that is gone (removed before a rerun) leaves its mark nothing
    // to resume: the copy starts again in a new file.
    unnamed.reset();
    ASSERT_EQ(0, unlink(Path("out.csv").c_str()));
    auto gone = Target("load");
    EXPECT_EQ("", gone->Get("Mark"));
    ASSERT_EQ(0u, gone->Set("Mark", "again"));
    ASSERT_EQ(0u, csv_.RDXCreate(gone->Private(), 3, in)) << gone->LastError();
    EXPECT_EQ("rdx-mark 1\nload\t8\tagain\nother\t31\tx\n", Marks());
}

// A mark that cannot be stored takes its batch back; a side file that is
// not one of marks is refused at connect.
TEST_F(CsvResumeTest, BatchTakenBackWhenItsMarkFails) {
    List in(2);
    Fill(in, {{"n", RDTYPE_INT}}, {{"1"}, {"2"}});
    auto out = Target("load");
    uint32_t done = 0;
    ASSERT_EQ(0u, out->Set("Mark", "one"));
    ASSERT_EQ(0u, out->Insert(in, 1, 1, &done)) << out->LastError();
    const std::string temporary = Path("out.csv.rdx-mark.") + std::to_string(getpid()) + ".tmp";
    ASSERT_EQ(0, mkdir(temporary.c_str(), 0700));
    ASSERT_EQ(0u, out->Set("Mark", "two"));
    EXPECT_EQ(RDSTATUS_FREETEXT, out->Insert(in, 2, 1, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, out->LastError().find("no record of the batch was written"))
        << out->LastError();
    EXPECT_EQ("n\n1\n", ReadFile(Path("out.csv")));
    EXPECT_EQ("rdx-mark 1\nload\t4\tone\n", Marks());
    rmdir(temporary.c_str());

    for (const std::string bad : {"rdx-mark 1\nload\t4x\tone\n", "rdx-mark 1\nload\t4\tone",
                                  "rdx-mark 2\n", "rdx-mark 1\nload\t4\t\\q\n"}) {
        WriteFile(Path("out.csv.rdx-mark"), bad);
        auto refused = Target("load", RDSTATUS_FREETEXT);
        EXPECT_NE(std::string::npos, refused->LastError().find("is not a file of marks"))
            << refused->LastError();
    }
}

// Two runs of one copy (one taken over by another machine while the first
// still writes) read the same mark; the first to store one changes it, and
// the other's batches, saves and file changes are refused before a byte of
// them reaches the file.
TEST_F(CsvResumeTest, SecondRunOfACopyIsRefusedOnceTheFirstStored) {
    List in(3);
    Fill(in, {{"n", RDTYPE_INT}}, {{"1"}, {"2"}, {"3"}});
    const std::string says = "Another run of load has written to file " + Path("out.csv") +
                             " since this run read its mark; this run's ";
    uint32_t done = 0;
    // No mark yet: the first one goes in once.
    auto first = Target("load"), second = Target("load");
    ASSERT_EQ(0u, first->Set("Mark", "one"));
    ASSERT_EQ(0u, first->Insert(in, 1, 1, &done)) << first->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "one"));
    EXPECT_EQ(RDSTATUS_FREETEXT, second->Insert(in, 1, 1, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, second->LastError().find(says + "batch is not written."))
        << second->LastError();
    EXPECT_EQ("n\n1\n", ReadFile(Path("out.csv")));
    // Both read the stored mark: the second stores first this time.
    first = Target("load");
    second = Target("load");
    ASSERT_EQ(0u, second->Set("Mark", "two"));
    ASSERT_EQ(0u, second->Insert(in, 2, 1, &done)) << second->LastError();
    ASSERT_EQ(0u, first->Set("Mark", "two"));
    EXPECT_EQ(RDSTATUS_FREETEXT, first->Insert(in, 2, 1, &done));
    EXPECT_EQ(RDSTATUS_FREETEXT, csv_.RDXAction(first->Private(), kSaveMark));
    EXPECT_NE(std::string::npos, first->LastError().find(says + "mark is not written."))
        << first->LastError();
    ASSERT_EQ(0u, first->Set("Mark", "empty"));
    EXPECT_EQ(RDSTATUS_FREETEXT, csv_.RDXCreate(first->Private(), 0x0F12, in));
    EXPECT_NE(std::string::npos, first->LastError().find(says + "emptying is not written."))
        << first->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "three"));
    ASSERT_EQ(0u, second->Insert(in, 3, 1, &done)) << second->LastError();
    EXPECT_EQ("n\n1\n2\n3\n", ReadFile(Path("out.csv")));
    EXPECT_EQ("rdx-mark 1\nload\t8\tthree\n", Marks());
    // The run's own replacement of the file keeps the mark its own.
    ASSERT_EQ(0u, second->Set("Mark", "zero"));
    ASSERT_EQ(0u, csv_.RDXCreate(second->Private(), 0x0F11, in)) << second->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "one again"));
    ASSERT_EQ(0u, second->Insert(in, 1, 1, &done)) << second->LastError();
    EXPECT_EQ("n\n1\n", ReadFile(Path("out.csv")));
    EXPECT_EQ("rdx-mark 1\nload\t4\tone again\n", Marks());
}

class CsvPositionTest : public CsvTest {
  protected:
    void SetUp() override {
        CsvTest::SetUp();
        // Line 4 holds a field over two lines; line 8 a value that is no
        // integer.
        WriteFile(Path("in.csv"), "id,note\n1,a\n2,b\n3,\"two\nlines\"\n4,d\n5,e\n6x,f\n7,g\n");
    }
    std::unique_ptr<Connection>
    Source(const std::string &position,
           const std::vector<std::pair<std::string, std::string>> &more = {}) {
        auto c = Open("in.csv", more);
        if (!position.empty()) {
            EXPECT_EQ(0u, c->Set("ReadPosition", position));
        }
        return c;
    }
};

TEST_F(CsvPositionTest, SelectGoesOnWhereTheLastOneStood) {
    std::string position;
    {
        auto in = Source("");
        List list(2);
        ASSERT_EQ(0u, in->Select(list, 2));
        EXPECT_EQ("offset=8;line=2", in->Get("ReadPosition"));
        uint32_t fetched = 0;
        ASSERT_EQ(0u, in->Fetch(list, 1, 2, &fetched));
        ASSERT_EQ(0u, in->Fetch(list, 1, 1, &fetched));
        position = in->Get("ReadPosition");
        EXPECT_EQ("offset=30;line=6", position);
    }
    // Declared or inferred columns, with or without a header line read
    // from the file's start: the same records from there on, and the bad
    // one named by its true line.
    using Properties = std::vector<std::pair<std::string, std::string>>;
    for (const auto &[more, layout] : std::vector<std::pair<Properties, std::string>>{
             {{{"Columns", "int,text"}}, "id:1,note:6"},
             {{{"Columns", "n:int,t:text"}}, "n:1,t:6"},
             {{{"Columns", "int,text"}, {"Header", "no"}}, "Column1:1,Column2:6"},
             {{{"InferRows", "3"}}, "id:1,note:6"}}) {
        auto in = Source(position, more);
        List list(10);
        ASSERT_EQ(0u, in->Select(list, 10)) << in->LastError();
        EXPECT_EQ(layout, Layout(list));
        std::vector<std::string> rows;
        EXPECT_EQ((std::vector<Step>{{RDSTATUS_RECORDFAULT, 2}}), FetchAll(*in, list, rows));
        EXPECT_EQ((std::vector<std::string>{"4|d", "5|e"}), rows);
        EXPECT_NE(std::string::npos, in->LastError().find("line 8 of")) << in->LastError();
        rows.clear();
        EXPECT_EQ((std::vector<Step>{{RDX_END_OF_DATA, 1}}), FetchAll(*in, list, rows));
        EXPECT_EQ((std::vector<std::string>{"7|g"}), rows);
        EXPECT_EQ("offset=47;line=10", in->Get("ReadPosition"));
    }
    // At the end: nothing more.
    auto end = Source("line=10;offset=47");
    List list(2);
    ASSERT_EQ(0u, end->Select(list, 2));
    uint32_t fetched = 0;
    EXPECT_EQ(RDX_END_OF_DATA, end->Fetch(list, 1, 2, &fetched));
}

TEST_F(CsvPositionTest, PositionsThatCannotBeARecordAreRefused) {
    for (const std::string bad : {"offset=8", "offset=8;line=0", "offset=-8;line=2",
                                  "offset=8;line=2;line=2", "offset=8;line=2;", "records=3"}) {
        auto in = Open("in.csv");
        EXPECT_EQ(RDSTATUS_FREETEXT, in->Set("ReadPosition", bad)) << bad;
        EXPECT_EQ("", in->Get("ReadPosition"));
    }
    for (const auto &[position, says] : std::vector<std::pair<std::string, std::string>>{
             {"offset=3;line=1", "before the first record"},
             {"offset=8;line=1", "before the first record"},
             {"offset=48;line=10", "beyond the end"},
             {"offset=10;line=2", "not the start of a line"}}) {
        auto in = Source(position);
        EXPECT_EQ(position, in->Get("ReadPosition"));
        List list(2);
        EXPECT_EQ(RDSTATUS_FREETEXT, in->Select(list, 2)) << position;
        EXPECT_NE(std::string::npos, in->LastError().find(says)) << in->LastError();
    }
    // An empty text starts at the first record again.
    auto in = Source("offset=30;line=6");
    ASSERT_EQ(0u, in->Set("ReadPosition", ""));
    List list(1);
    ASSERT_EQ(0u, in->Select(list, 1));
    uint32_t fetched = 0;
    ASSERT_EQ(0u, in->Fetch(list, 1, 1, &fetched));
    EXPECT_EQ((std::vector<std::string>{"1|a"}), Rows(list, 1, 1));
}

} // namespace
} // namespace connectortest
