#include "rdplat.h"
#include "rdplat_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char *kVar = "RDX_ENV_TEST";

class Environment : public ::testing::Test {
  protected:
    void SetUp() override { setenv(kVar, "abcdef", 1); }
    void TearDown() override { unsetenv(kVar); }
};

TEST_F(Environment, GetEnvCopiesAtMostLengthCharactersAndTerminates) {
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

TEST_F(Environment, PutEnvStoresTheValueInQuotesOrRefusesTheName) {
    ASSERT_EQ(RDPlatPutEnv(kVar, "x=y z"), 0u);
    char out[16];
    uint32_t length = 15;
    ASSERT_EQ(RDPlatGetEnv(kVar, out, &length), 0u);
    EXPECT_STREQ(out, "\"x=y z\"");
    ASSERT_EQ(RDPlatPutEnv(kVar, ""), 0u);
    EXPECT_STREQ(std::getenv(kVar), "\"\"");
    for (const char *name : {"", "RDX_ENV_TEST=x", (const char *)0})
        EXPECT_EQ(RDPlatPutEnv(name, "v"), RDSTATUS_ENVREFUSED);
    EXPECT_STREQ(std::getenv(kVar), "\"\"");
}

TEST_F(Environment, PutEnvWithoutMemoryIs258AndChangesNothing) {
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatPutEnv(kVar, "after"), RDSTATUS_NOMEMORY);
    EXPECT_STREQ(std::getenv(kVar), "abcdef");
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatPutEnv("", "v"), RDSTATUS_NOMEMORY) << "memory comes before the name check";
    RDTestMemFailNth(2);
    EXPECT_EQ(RDPlatPutEnv(kVar, "after"), 0u);
    EXPECT_EQ(RDTestMemFailPending(), 1) << "one allocation only";
    RDTestMemFailNth(0);
}

} // namespace
