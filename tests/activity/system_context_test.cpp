// SPDX-License-Identifier: Apache-2.0
// Start and stop of the system context: reference counting, the
// Translation key, the accessors, the table chains and failed starts.
#include "../values/rdx_test_env.h"
#include "activity/system_context.h"
#include "translate/translation.h"

namespace {

using rdx::Context;

class SystemContextTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(0u, home_.StartPlatform()); }
    void TearDown() override {
        while (Context() != nullptr)
            RDSystemTerm();
    }

    rdxtest::ScopedEnv locale_{"LC_ALL", "de_DE.ISO-8859-1"};
    rdtest::TempHome home_;
};

TEST_F(SystemContextTest, NestedCallsShareOneContext) {
    EXPECT_EQ(0u, RDSystemTerm()); // without a context: nothing happens
    ASSERT_EQ(0u, RDSystemInit());
    rdx::SystemContext *context = Context();
    const rdx::TranslationContext &t = context->translation;
    EXPECT_EQ(28591u, rdx::GetTextFormat()); // the locale's ISO-8859-1
    EXPECT_EQ(49, t.country);
    EXPECT_STREQ("de", t.language);
    ASSERT_NE(nullptr, t.emptyData);
    EXPECT_EQ(12320u, rdx::TranslationSetUp()); // already set up
    ASSERT_EQ(0u, RDSystemInit());
    ASSERT_EQ(0u, RDSystemInit());
    EXPECT_EQ(context, Context());
    EXPECT_EQ(3u, context->refCount);
    EXPECT_EQ(0u, RDSystemTerm());
    EXPECT_EQ(0u, RDSystemTerm());
    EXPECT_TRUE(rdx::TranslationReady());
    EXPECT_EQ(0u, RDSystemTerm());
    EXPECT_EQ(nullptr, Context());
    EXPECT_FALSE(rdx::TranslationReady());
    EXPECT_EQ(0u, rdx::GetTextFormat());
    EXPECT_EQ(12320u, rdx::TranslationSetUp()); // no context
}

TEST_F(SystemContextTest, TranslationKeyAndModeAccessor) {
    // The key's value (null: no key) and the mode it gives.
    const std::pair<const char *, uint32_t> cases[] = {{nullptr, 2}, {"0", 0}, {"1", 1},
                                                       {"3", 0},     {"x", 0}, {"99999999999", 0}};
    for (const auto &[value, mode] : cases) {
        ASSERT_TRUE(value == nullptr ||
                    RDINISetString("Configuration", "Translation", value, "quarry.ini") == 0);
        ASSERT_EQ(0u, RDSystemInit());
        EXPECT_EQ(mode, Context()->translation.translationMode) << (value ? value : "-");
        rdx::SetTranslationMode(3); // ignored
        EXPECT_EQ(mode, Context()->translation.translationMode);
        rdx::SetTranslationMode(1);
        EXPECT_EQ(1u, Context()->translation.translationMode);
        RDSystemTerm();
    }
}

TEST_F(SystemContextTest, TablesAreOpenedOnceAndChained) {
    ASSERT_EQ(0u, RDSystemInit());
    xcore::Table *table = nullptr, *again = nullptr;
    ASSERT_EQ(0u, rdx::TableLookup(1252, &table));
    ASSERT_EQ(0u, rdx::TableLookup(1252, &again));
    EXPECT_EQ(table, again);
    ASSERT_EQ(0u, rdx::TableLookup(28596, &again)); // same chain (mod 16), appended
    const rdx::TranslationTable *head = Context()->translation.chains[1252 % 16];
    ASSERT_TRUE(head != nullptr && head->next != nullptr);
    EXPECT_EQ(1252u, head->code);
    EXPECT_EQ(28596u, head->next->code);
    EXPECT_EQ(12305u, rdx::TableLookup(4242, &again));
    EXPECT_EQ(nullptr, again);
    RDSystemTerm(); // LeakSanitizer checks that every entry was freed
    ASSERT_EQ(0u, RDSystemInit());
    EXPECT_EQ(nullptr, Context()->translation.chains[1252 % 16]);
}

TEST_F(SystemContextTest, FailedAllocationsLeaveNothing) {
    auto init = [] { return RDSystemInit(); };
    EXPECT_LT(0, rdxtest::ForEachAllocationFailure(init, [](uint32_t status) {
                  EXPECT_TRUE(status == 258 && Context() == nullptr && !rdx::TranslationReady())
                      << status;
              }));
    xcore::Table *table = nullptr;
    auto lookup = [&table] { return rdx::TableLookup(1250, &table); };
    EXPECT_LT(0, rdxtest::ForEachAllocationFailure(lookup, [&table](uint32_t status) {
                  EXPECT_TRUE(status == 258 && table == nullptr) << status;
              }));
}

} // namespace
