// SPDX-License-Identifier: Apache-2.0
// A whole activity's exchange with rdcsm through the library's client
// functions over the real pipe.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "rdx_status.h"

#include <cstring>
#include <set>
#include <sys/stat.h>

namespace rdcsmtest {
namespace {

constexpr uint32_t kConnectorName = 0x30001, kLinkName = 0x30002, kServer = 0x10001;

std::string TextOf(const RDStream &s) {
    return s.data == nullptr ? std::string()
                             : std::string(reinterpret_cast<const char *>(s.data), s.length);
}

// The text of item number in set, or "<none>".
std::string TextIn(PropertySet *set, uint32_t number) {
    uint32_t type = 0;
    void *value = nullptr;
    if (rdx::PropertySetFind(set, number, &type, &value) != 0 || type != 6) return "<none>";
    return TextOf(*static_cast<RDStream *>(value));
}

TEST_F(ServerTest, AttachInformationAndTerm) {
    Stream text;
    ServerInfoRecord info{};
    info.text = &text;
    ASSERT_EQ(0u, CSMgrInit(&info));
    EXPECT_EQ(1u, info.values[0]);
    EXPECT_EQ(1u, info.values[2]); // attached clients
    EXPECT_EQ("rdcsm", text.Bytes());
    EXPECT_EQ(0u, CSMgrServerState(7));
    ASSERT_EQ(0u, CSMgrServerInfo(&info));
    EXPECT_EQ(7u, info.values[3]);
    EXPECT_EQ(0u, CSMgrTerm());
    // The database and its log are the user's alone.
    if (PgStoreTests()) return;
    for (const char *suffix : {"", "-wal", "-shm"}) {
        struct stat file {};
        ASSERT_EQ(0, stat((DbPath() + suffix).c_str(), &file)) << suffix;
        EXPECT_EQ(0600u, file.st_mode & 0777) << suffix;
    }
}

TEST_F(ServerTest, WholeActivityExchange) {
    Define(rdcsm::kActivity, "load", {TextItem(kConnectorName, "copier"), IntItem(5, 41)});
    const uint32_t link = Define(rdcsm::kLink, "source", {TextItem(kServer, "db1")});
    ASSERT_EQ(0u, CSMgrInit(nullptr));

    uint32_t handle = 0, id = 0;
    // Argument 0: the activity's own handle, no run of this process.
    ASSERT_EQ(0u, CSMgrOpenActivity(&handle, &Stream("load", 256), 0));
    EXPECT_NE(0u, handle);
    EXPECT_EQ(RDSTATUS_CSMNONAME, CSMgrOpenActivity(&id, &Stream("nothing", 256), 1));
    EXPECT_EQ(0u, id);
    ASSERT_EQ(0u, CSMgrGetID(&id, &Stream("source", 256), 4));
    EXPECT_EQ(link, id);
    uint32_t missing = 5;
    EXPECT_EQ(RDSTATUS_CSMNONAME, CSMgrGetID(&missing, &Stream("load", 256), 4));
    EXPECT_EQ(0u, missing);

    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, description.set));
    EXPECT_EQ("copier", TextIn(description.set, kConnectorName));
    EXPECT_EQ(41, rdx::PropertySetReadInt(description.set, 5));
    Set linkDescription;
    ASSERT_EQ(0u, CSMgrGetDescription(id, linkDescription.set));
    EXPECT_EQ("db1", TextIn(linkDescription.set, kServer));

    // Put back: 5 replaced, 6 and the link name added; the rest kept.
    Set putBack;
    const int32_t five = 99, six = -6;
    ASSERT_EQ(0u, rdx::PropertySetAdd(putBack.set, 5, 1, &five));
    ASSERT_EQ(0u, rdx::PropertySetAdd(putBack.set, 6, 1, &six));
    ASSERT_EQ(0u, rdx::PropertySetAdd(putBack.set, kLinkName, 6, &Stream("source", 256)));
    ASSERT_EQ(0u, CSMgrPutDescription(handle, putBack.set));
    Set merged;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, merged.set));
    // The four items and the activity's name, which the answer adds.
    EXPECT_EQ(5u, rdx::PropertySetCount(merged.set));
    EXPECT_EQ(99, rdx::PropertySetReadInt(merged.set, 5));
    EXPECT_EQ(-6, rdx::PropertySetReadInt(merged.set, 6));
    EXPECT_EQ("source", TextIn(merged.set, kLinkName));
    EXPECT_EQ("copier", TextIn(merged.set, kConnectorName));
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, CSMgrGetDescription(0x1234, merged.set));

    // Runs of another activity that this one waits for.
    uint32_t done = 7;
    ASSERT_EQ(0u, CSMgrCheckSync(handle, &done));
    EXPECT_EQ(1u, done);
    ASSERT_EQ(0u, CSMgrRunActivity(handle, &Stream("load", 256)));
    EXPECT_EQ(RDSTATUS_CSMNONAME, CSMgrRunActivity(handle, &Stream("none", 256)));
    ASSERT_EQ(0u, CSMgrCheckSync(handle, &done));
    EXPECT_EQ(0u, done);
    Stream name;
    NextActivityRecord next{};
    next.name = &name;
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    EXPECT_EQ("load", name.Bytes());
    EXPECT_EQ(handle, next.words[0]);
    EXPECT_EQ(handle, next.words[1]); // the waiting handle
    EXPECT_EQ(RDSTATUS_CSMNOTHINGTORUN, CSMgrNextActivity(&next));
    // The run works on the activity's description through its own handle.
    Set runDescription;
    ASSERT_EQ(0u, CSMgrGetDescription(next.handle, runDescription.set));
    EXPECT_EQ(99, rdx::PropertySetReadInt(runDescription.set, 5));
    uint32_t statistics[CSMGR_STATISTICS_COUNT];
    for (uint32_t i = 0; i < CSMGR_STATISTICS_COUNT; ++i)
        statistics[i] = 100 + i;
    EXPECT_EQ(0u, CSMgrLog(next.handle, 4148, &Stream("run says hello", 256)));
    EXPECT_EQ(0u, CSMgrDataLog(next.handle, statistics));
    EXPECT_EQ(0u, CSMgrDoneActivity(next.handle, 4148));
    ASSERT_EQ(0u, CSMgrCheckSync(handle, &done));
    EXPECT_EQ(1u, done);
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, CSMgrDoneActivity(0x7777, 0));
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, CSMgrLog(0x7777, 1, &Stream("x", 256)));
    EXPECT_EQ(0u, CSMgrTerm());

    // What was stored, read straight from the database.
    std::lock_guard guard(state_->lock);
    rdcsm::Statement log(state_->store.Db(), "SELECT activity, run, number, text FROM log");
    ASSERT_TRUE(log.Step());
    EXPECT_EQ(handle, log.Int(0));
    EXPECT_EQ(next.handle - rdcsm::kRunBase, log.Int(1));
    EXPECT_EQ(4148, log.Int(2));
    EXPECT_EQ("run says hello", log.Text(3));
    rdcsm::Statement stats(state_->store.Db(), "SELECT words FROM stats");
    ASSERT_TRUE(stats.Step());
    const std::string words = stats.Blob(0);
    ASSERT_EQ(76u, words.size());
    EXPECT_EQ(118u, WordAt(words, 72));
    rdcsm::Statement run(state_->store.Db(), "SELECT state, end_code FROM runs");
    ASSERT_TRUE(run.Step());
    EXPECT_EQ(2, run.Int(0));
    EXPECT_EQ(4148, run.Int(1));
}

TEST_F(ServerTest, ClockMovesByTheAdvancedSeconds) {
    uint64_t before = 0, after = 0;
    ASSERT_EQ(0u, CSMgrTime(&before));
    ASSERT_EQ(0u, __CSMgrAdvanceClock(2 * 86400 + 60));
    ASSERT_EQ(0u, CSMgrTime(&after));
    RDDatetime first, second;
    std::memcpy(&first, &before, 8);
    std::memcpy(&second, &after, 8);
    const int64_t moved =
        (int64_t{second.date} - first.date) * 8640000 + (int64_t{second.ticks} - first.ticks);
    EXPECT_GE(moved, (2 * 86400 + 60) * 100);
    EXPECT_LT(moved, (2 * 86400 + 70) * 100);
    EXPECT_LT(second.ticks, 8640000u);
    // Back again (a negative value).
    ASSERT_EQ(0u, __CSMgrAdvanceClock(static_cast<uint32_t>(-(2 * 86400 + 60))));
}

TEST_F(ServerTest, DescriptionLargerThanOnePieceBothWays) {
    std::vector<rdcsm::Item> items;
    for (uint32_t i = 1; i <= 150; ++i)
        items.push_back(TextItem(i, "value number " + std::to_string(i)));
    const uint32_t handle = Define(rdcsm::kActivity, "big", items); // about 5 KiB
    Set read;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, read.set));
    ASSERT_EQ(151u, rdx::PropertySetCount(read.set)); // and the name
    EXPECT_EQ("big", TextIn(read.set, 0x30004));
    EXPECT_EQ("value number 150", TextIn(read.set, 150));

    Set putBack;
    const std::string longText(3000, 'x');
    ASSERT_EQ(0u, rdx::PropertySetAdd(putBack.set, 1000, 6, &Stream(longText, 256)));
    for (uint32_t i = 1; i <= 150; i += 7)
        ASSERT_EQ(0u,
                  rdx::PropertySetAdd(putBack.set, i, 6, &Stream("new " + std::to_string(i), 256)));
    ASSERT_EQ(0u, CSMgrPutDescription(handle, putBack.set));
    Set merged;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, merged.set));
    EXPECT_EQ(152u, rdx::PropertySetCount(merged.set));
    EXPECT_EQ(longText, TextIn(merged.set, 1000));
    EXPECT_EQ("new 148", TextIn(merged.set, 148));
    EXPECT_EQ("value number 149", TextIn(merged.set, 149));
}

TEST_F(ServerTest, FieldsUpToOneMebibyte) {
    const uint32_t handle = Define(rdcsm::kActivity, "fields", {});
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    Stream name("Total", 256);
    EXPECT_EQ(RDSTATUS_CSMNOFIELD, CSMgrGetField(handle, &name, field));
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2048},
                             std::size_t{2048 * 3 + 5}, std::size_t{1} << 20}) {
        std::string value(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            value[i] = static_cast<char>('a' + i % 26);
        ASSERT_EQ(0u, RDFieldSetStream(field, 1, &Stream(value, 256)));
        ASSERT_EQ(0u, CSMgrPutField(handle, &name, field)) << size;
        ASSERT_EQ(0u, RDFieldSetStream(field, 1, &Stream("", 256)));
        ASSERT_EQ(0u, CSMgrGetField(handle, &name, field)) << size;
        Stream back;
        ASSERT_EQ(0u, RDFieldGetStream(field, 1, 256, &back, nullptr));
        EXPECT_EQ(value, back.Bytes()) << size;
    }
    // A file's contents as a field; a missing file is refused.
    rdtest::WriteFile(home_.Path("input.txt"), "from a file");
    ASSERT_EQ(0u, CSMgrFileField(handle, &name, home_.Path("input.txt").c_str()));
    ASSERT_EQ(0u, CSMgrGetField(handle, &name, field));
    Stream back;
    ASSERT_EQ(0u, RDFieldGetStream(field, 1, 256, &back, nullptr));
    EXPECT_EQ("from a file", back.Bytes());
    EXPECT_EQ(RDSTATUS_CSMFILE, CSMgrFileField(handle, &name, home_.Path("none").c_str()));
    EXPECT_EQ(RDSTATUS_CSMFILE, CSMgrFileField(handle, &name, home_.Dir().c_str()));
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, CSMgrGetField(0x999, &name, field));
    EXPECT_EQ(0u, RDFieldFree(field));
}

} // namespace
} // namespace rdcsmtest
