// SPDX-License-Identifier: Apache-2.0
// JSON Lines files as targets of resumable copies: the mark kept beside the
// file with its length after the marked batch, the file cut back to that
// length at the next connect (in a compressed file, to the end of the
// marked batch's gzip member), replacement and emptying marked first, and
// a second run of the copy refused once the first stored.
#include "json_test_env.h"

#include <fstream>
#include <sys/stat.h>

namespace connectortest {
namespace {

constexpr uint32_t kSaveMark = 0x4D41524B;
const std::vector<std::pair<std::string, uint32_t>> kFields = {{"n", RDTYPE_INT},
                                                               {"s", RDTYPE_TEXT}};

class JsonResumeTest : public JsonTest {
  protected:
    std::unique_ptr<Connection> Target(const std::string &file, const std::string &name,
                                       uint32_t expectConnect = 0) {
        return Open(file, {{"Create", "1"}, {"MarkName", name}}, expectConnect);
    }
    // The file's lines, decompressed when it is a gzip file.
    std::string Lines(const std::string &file) {
        return file.ends_with(".gz") ? Gunzip(Path(file)) : ReadFile(Path(file));
    }
    uint64_t Size(const std::string &file) {
        struct stat info {};
        return ::stat(Path(file).c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }
    std::string Marks(const std::string &file) { return ReadFile(Path(file + ".rdx-mark")); }
};

TEST_F(JsonResumeTest, TornBatchesAreCutBackToTheMarkInPlainAndGzipFiles) {
    for (const std::string file : {"out.jsonl", "out.jsonl.gz"}) {
        SCOPED_TRACE(file);
        uint64_t marked = 0;
        {
            auto out = Target(file, "load");
            EXPECT_EQ("", out->Get("Mark"));
            ASSERT_EQ(0u, out->Set("Mark", "records=2"));
            ASSERT_EQ(0u, InsertRows(*out, kFields, {{"1", "a"}, {"2", "b"}})) << out->LastError();
            marked = Size(file);
            EXPECT_EQ("rdx-mark 1\nload\t" + std::to_string(marked) + "\trecords=2\n", Marks(file));
            // A batch without a new mark is not counted by the mark.
            ASSERT_EQ(0u, InsertRows(*out, kFields, {{"3", "c"}}));
        }
        // A kill in the middle of the next batch leaves part of it.
        std::ofstream(Path(file), std::ios::app)
            << (file.ends_with(".gz") ? "\x1F\x8B\x08" : "{\"n\":4");
        {
            auto out = Target(file, "load");
            EXPECT_EQ("records=2", out->Get("Mark"));
            EXPECT_EQ(marked, Size(file));
            ASSERT_EQ(0u, out->Set("Mark", "records=3"));
            ASSERT_EQ(0u, InsertRows(*out, kFields, {{"3", "c"}})) << out->LastError();
        }
        EXPECT_EQ("{\"n\":1,\"s\":\"a\"}\n{\"n\":2,\"s\":\"b\"}\n{\"n\":3,\"s\":\"c\"}\n",
                  Lines(file));
        EXPECT_EQ((std::vector<std::string>{"1|a", "2|b", "3|c"}), ReadAll(file, {}));
        // Replacing marks the empty file first; saving marks what is there.
        {
            auto out = Target(file, "load");
            ASSERT_EQ(0u, out->Set("Mark", "replaced"));
            List none(1);
            ASSERT_EQ(0u, json_.RDXCreate(out->Private(), 0x0F11, none)) << out->LastError();
            EXPECT_EQ(0u, Size(file));
            EXPECT_EQ("rdx-mark 1\nload\t0\treplaced\n", Marks(file));
            ASSERT_EQ(0u, InsertRows(*out, kFields, {{"9", "z"}}));
            ASSERT_EQ(0u, out->Set("Mark", "saved"));
            ASSERT_EQ(0u, json_.RDXAction(out->Private(), kSaveMark)) << out->LastError();
            EXPECT_EQ("rdx-mark 1\nload\t" + std::to_string(Size(file)) + "\tsaved\n", Marks(file));
        }
        // A file shorter than its mark was changed by someone else.
        ASSERT_EQ(0, ::truncate(Path(file).c_str(), 3));
        auto changed = Target(file, "load", RDSTATUS_FREETEXT);
        EXPECT_NE(std::string::npos, changed->LastError().find("holds 3 bytes, fewer than"))
            << changed->LastError();
        EXPECT_EQ(3u, Size(file));
    }
}

// Two runs of one copy read the same mark; the one that stores second is
// refused before a byte of its batch reaches the file.
TEST_F(JsonResumeTest, SecondRunOfACopyIsRefusedOnceTheFirstStored) {
    auto first = Target("out.jsonl.gz", "load"), second = Target("out.jsonl.gz", "load");
    ASSERT_EQ(0u, first->Set("Mark", "one"));
    ASSERT_EQ(0u, InsertRows(*first, kFields, {{"1", "a"}})) << first->LastError();
    const uint64_t size = Size("out.jsonl.gz");
    ASSERT_EQ(0u, second->Set("Mark", "one"));
    EXPECT_EQ(RDSTATUS_FREETEXT, InsertRows(*second, kFields, {{"1", "a"}}));
    EXPECT_NE(std::string::npos,
              second->LastError().find("Another run of load has written to file " +
                                       Path("out.jsonl.gz") + " since this run read its mark"))
        << second->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, json_.RDXCreate(second->Private(), 0x0F12, List(1)));
    EXPECT_EQ(size, Size("out.jsonl.gz"));
    EXPECT_EQ("{\"n\":1,\"s\":\"a\"}\n", Lines("out.jsonl.gz"));
}

// A target reached through a link or with a second name is refused, as
// the mark decides how far it is cut.
TEST_F(JsonResumeTest, LinkedTargetsAreRefused) {
    WriteFile(Path("elsewhere.jsonl"), "{\"n\":1}\n");
    ASSERT_EQ(0, ::symlink(Path("elsewhere.jsonl").c_str(), Path("link.jsonl").c_str()));
    ASSERT_EQ(0, ::link(Path("elsewhere.jsonl").c_str(), Path("second.jsonl").c_str()));
    for (const std::string file : {"link.jsonl", "second.jsonl"}) {
        auto out = Open(file);
        EXPECT_EQ(RDSTATUS_FREETEXT, InsertRows(*out, kFields, {{"2", "b"}})) << file;
        EXPECT_NE(std::string::npos, out->LastError().find(file)) << out->LastError();
    }
    EXPECT_EQ("{\"n\":1}\n", ReadFile(Path("elsewhere.jsonl")));
}

} // namespace
} // namespace connectortest
