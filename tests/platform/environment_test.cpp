// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <algorithm>

namespace {

constexpr const char *kVar = "RDX_ENV_TEST";

TEST(Environment, GetEnvCopiesAtMostLengthCharactersAndTerminates) {
    rdtest::ScopedEnv var(kVar, "abcdef");
    char out[16] = "junk";
    uint32_t length = 7;
    EXPECT_EQ(RDPlatGetEnv(kVar, nullptr, &length), RDSTATUS_NULLARG1);
    EXPECT_EQ(RDPlatGetEnv(kVar, out, nullptr), RDSTATUS_NULLARG1);
    EXPECT_EQ(RDPlatGetEnv("RDX_ENV_UNSET", out, &length), RDSTATUS_ENVNOTSET);
    EXPECT_EQ(std::string(out) + std::to_string(length), "0");
    for (uint32_t given : {0u, 3u, 6u, 100u}) {
        std::memset(out, 'J', sizeof out);
        length = given;
        ASSERT_EQ(RDPlatGetEnv(kVar, out, &length), 0u);
        EXPECT_EQ(std::string(out) + std::to_string(length),
                  std::string("abcdef", std::min(given, 6u)) + std::to_string(std::min(given, 6u)));
        EXPECT_EQ(out[length + 1], 'J') << "nothing written after the NUL";
    }
}

TEST(Environment, PutEnvQuotesTheValueAndChecksMemoryBeforeTheName) {
    rdtest::ScopedEnv var(kVar, "abcdef");
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatPutEnv(kVar, "after"), RDSTATUS_NOMEMORY);
    EXPECT_STREQ(std::getenv(kVar), "abcdef");
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatPutEnv("", "v"), RDSTATUS_NOMEMORY);
    RDTestMemFailNth(2);
    ASSERT_EQ(RDPlatPutEnv(kVar, "x=y z"), 0u);
    EXPECT_EQ(RDTestMemFailPending(), 1) << "one allocation only";
    RDTestMemFailNth(0);
    EXPECT_STREQ(std::getenv(kVar), "\"x=y z\"");
    ASSERT_EQ(RDPlatPutEnv(kVar, ""), 0u);
    for (const char *name : {"", "RDX_ENV_TEST=x", (const char *)0})
        EXPECT_EQ(RDPlatPutEnv(name, "v"), RDSTATUS_ENVREFUSED);
    EXPECT_STREQ(std::getenv(kVar), "\"\"");
}

} // namespace
