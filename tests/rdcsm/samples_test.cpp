// SPDX-License-Identifier: Apache-2.0
// Progress samples of running runs: what a run's samples tell (records,
// recent rate, share done, time left), how the server manager keeps them
// spaced and apart from the statistics records, and how `rdcsm runs` and
// `list` show them.
#include "live_text.h"
#include "live_words.h"
#include "rdcsm_test_env.h"
#include "samples.h"
#include "tool_env.h"

#include "rdx_status.h"

namespace rdcsmtest {
namespace {

using rdcsm::LiveProgress;
using rdcsm::ProgressOf;
using rdcsm::Sample;

TEST(ProgressOf, RateIsOverTheNewestSecondsAndCountsWrittenElseRead) {
    // 100 records/s for 20 s, then 1,000/s for 6 s: the rate is the recent one.
    const std::vector<Sample> samples = {
        {0, 0, 0, 0}, {20000, 2000, 2000, 0}, {21000, 3000, 3000, 0}, {26000, 8000, 8000, 0}};
    const LiveProgress live = ProgressOf(samples, 0);
    EXPECT_DOUBLE_EQ(1000, live.rate);
    EXPECT_EQ(8000u, live.read);
    EXPECT_EQ(8000u, live.written);
    // No sample old enough: the rate is since the start; a run that wrote
    // nothing yet is measured by the records it read.
    EXPECT_DOUBLE_EQ(1000, ProgressOf({{3000, 3000, 0, 0}}, 0).rate);
    EXPECT_DOUBLE_EQ(500, ProgressOf({{11000, 9000, 5000, 0}}, 1000).rate);
    EXPECT_DOUBLE_EQ(0, ProgressOf({}, 0).rate);
}

TEST(ProgressOf, ShareAndTimeLeftOnlyWhenTheyCanBeTold) {
    // Read more than expected: the share stops at 1.
    EXPECT_DOUBLE_EQ(1, *ProgressOf({{2000, 150, 150, 100}}, 0).share);
    // 10% read in 2 s at 50 records/s: 900 records in 18 s.
    LiveProgress live = ProgressOf({{2000, 100, 0, 1000}}, 0);
    EXPECT_DOUBLE_EQ(0.1, *live.share);
    ASSERT_TRUE(live.secondsLeft);
    EXPECT_DOUBLE_EQ(18, *live.secondsLeft);
    // Before 1 s, or before 1% read, the time left is not guessed.
    live = ProgressOf({{900, 500, 0, 1000}}, 0);
    EXPECT_DOUBLE_EQ(0.5, *live.share);
    EXPECT_FALSE(live.secondsLeft);
    live = ProgressOf({{5000, 9, 0, 1000}}, 0);
    EXPECT_TRUE(live.share);
    EXPECT_FALSE(live.secondsLeft);
    // Nothing expected: neither share nor time left, the rate all the same.
    live = ProgressOf({{2000, 100, 0, 0}}, 0);
    EXPECT_FALSE(live.share);
    EXPECT_FALSE(live.secondsLeft);
    EXPECT_DOUBLE_EQ(50, live.rate);
}

TEST(LiveText, TellsRecordsRateShareAndTimeLeft) {
    EXPECT_EQ("records 412,000  rate 95,000/s  38%  about 1 min left",
              rdcsm::LiveText({412000, 412000, 95000, 0.38, 70}));
    // Records read while none were written; no share without an expectation.
    EXPECT_EQ("records 7  rate 4/s", rdcsm::LiveText({7, 0, 3.6, {}, {}}));
    // All expected read: done, no time left told.
    EXPECT_EQ("records 10  rate 5/s  100%", rdcsm::LiveText({10, 10, 5, 1.0, 0}));
    EXPECT_EQ("about 5 s left", rdstats::TimeLeft(0.2));
    EXPECT_EQ("about 45 s left", rdstats::TimeLeft(41));
    EXPECT_EQ("about 2 h 5 min left", rdstats::TimeLeft(7500));
    EXPECT_EQ("99%", rdstats::PercentText(0.999));
}

// A queued run of the activity "job" taken by the test as its host.
class SampleTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        activity_ = Define(rdcsm::kActivity, "job", {TextItem(0x30001, "act_good")});
        ASSERT_EQ(0u, CSMgrRunActivity(0, &Stream("job", 256)));
        ASSERT_EQ(0u, CSMgrInit(nullptr));
        NextActivityRecord next{};
        ASSERT_EQ(0u, CSMgrNextActivity(&next));
        run_ = next.handle;
        sample_ = rdcsm::SampleHandle(run_);
        ASSERT_NE(0u, sample_);
    }
    void TearDown() override {
        CSMgrTerm();
        ServerTest::TearDown();
    }
    // Sends a sample with the records fetched and inserted and the select's count.
    uint32_t Send(uint32_t handle, uint32_t read, uint32_t expected = 0xFFFFFFFFu) {
        uint32_t words[CSMGR_STATISTICS_COUNT] = {};
        words[13] = expected;
        words[14] = read;
        words[15] = read;
        return CSMgrDataLog(handle, words);
    }
    std::vector<uint64_t> SampledReads() {
        std::lock_guard guard(state_->lock);
        std::vector<uint64_t> reads;
        for (const Sample &sample : rdcsm::RunSamples(state_->store, run_ - rdcsm::kRunBase))
            reads.push_back(sample.read);
        return reads;
    }
    int64_t Count(const char *table) {
        std::lock_guard guard(state_->lock);
        const std::string query = std::string("SELECT count(*) FROM ") + table;
        rdcsm::Statement count(state_->store.Db(), query.c_str());
        count.Step();
        return count.Int(0);
    }
    void MoveClock(int64_t ms) {
        std::lock_guard guard(state_->lock);
        state_->store.MoveClock(ms);
    }

    uint32_t activity_ = 0, run_ = 0, sample_ = 0;
};

TEST_F(SampleTest, SamplesAreSpacedAndKeptApartFromStatistics) {
    // Within a second, one row with the newest words.
    for (uint32_t read = 100; read <= 500; read += 100)
        ASSERT_EQ(0u, Send(sample_, read));
    EXPECT_EQ((std::vector<uint64_t>{500}), SampledReads());
    MoveClock(1500);
    ASSERT_EQ(0u, Send(sample_, 600));
    EXPECT_EQ((std::vector<uint64_t>{500, 600}), SampledReads());
    // A run 10 minutes old keeps samples 2 s apart.
    MoveClock(600000);
    ASSERT_EQ(0u, Send(sample_, 700));
    MoveClock(1500);
    ASSERT_EQ(0u, Send(sample_, 800));
    EXPECT_EQ((std::vector<uint64_t>{500, 600, 800}), SampledReads());
    EXPECT_EQ(0, Count("stats"));

    // The run handle itself and an activity handle give statistics records.
    ASSERT_EQ(0u, Send(run_, 900));
    ASSERT_EQ(0u, Send(activity_, 5));
    EXPECT_EQ(2, Count("stats"));
    // No run behind the sample handle, or an activity handle with the
    // sample bit: refused, nothing stored.
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, Send(rdcsm::SampleHandle(rdcsm::kRunBase + 9999), 1));
    EXPECT_EQ(RDSTATUS_CSMNOHANDLE, Send(activity_ | rdcsm::kSampleBit, 1));
    EXPECT_EQ(2, Count("stats"));
    EXPECT_EQ(3u, SampledReads().size());
    {
        std::lock_guard guard(state_->lock);
        EXPECT_EQ(800u, rdcsm::LastSample(state_->store, run_ - rdcsm::kRunBase)->read);
    }
    // Runs above the sampled range have no sample handle.
    EXPECT_EQ(0u, rdcsm::SampleHandle(rdcsm::kRunBase + rdcsm::kMaxSampledRun));
    EXPECT_EQ(0u, rdcsm::SampleHandle(activity_));
}

TEST_F(SampleTest, RunsAndListShowTheProgressOfARunningRun) {
    const std::string run = "run " + std::to_string(run_ - rdcsm::kRunBase);
    ToolRun tool = RunTool(home_, "runs");
    ASSERT_EQ(0, tool.status) << tool.err;
    EXPECT_EQ(std::string::npos, tool.out.find("records")) << tool.out; // no sample yet

    ASSERT_EQ(0u, Send(sample_, 0, 1000000));
    MoveClock(10000);
    // 380,000 of 1,000,000 in 10 s: 620,000 left at 38,000/s.
    ASSERT_EQ(0u, Send(sample_, 380000, 1000000));
    tool = RunTool(home_, "runs");
    ASSERT_EQ(0, tool.status) << tool.err;
    const size_t line = tool.out.find(run + "  job  running");
    ASSERT_NE(std::string::npos, line) << tool.out;
    const std::string text = tool.out.substr(line, tool.out.find('\n', line) - line);
    EXPECT_NE(std::string::npos, text.find("  records 380,000  rate 3")) << text;
    EXPECT_NE(std::string::npos, text.find("/s  38%  about 20 s left")) << text;

    tool = RunTool(home_, "list");
    ASSERT_EQ(0, tool.status) << tool.err;
    EXPECT_NE(std::string::npos, tool.out.find("\n  " + run + " running  records 380,000  rate 3"))
        << tool.out;
    // The statistics show none of the samples.
    tool = RunTool(home_, "stats job");
    ASSERT_EQ(0, tool.status) << tool.err;
    EXPECT_EQ(std::string::npos, tool.out.find("statistics:")) << tool.out;
    EXPECT_EQ(std::string::npos, tool.out.find("380")) << tool.out;
}

} // namespace
} // namespace rdcsmtest
