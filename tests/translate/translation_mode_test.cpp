// SPDX-License-Identifier: Apache-2.0
// Reading the Translation setting at set-up. The configuration reader is
// replaced for this program so that its failures can be chosen: a read that
// fails for lack of memory fails the set-up, any other failure means the
// setting is absent.
#include "../values/rdx_test_env.h"
#include "translate/translation.h"

#include <dlfcn.h>

namespace {

// The status the Translation read gives instead of reading; 0 reads.
uint32_t g_translationReadFailure = 0;

} // namespace

extern "C" uint32_t RDINIGetString(const char *section, const char *key, char *out,
                                   const char *file) {
    using Read = uint32_t (*)(const char *, const char *, char *, const char *);
    static const auto real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "RDINIGetString"));
    if (g_translationReadFailure != 0 && key != nullptr && std::strcmp(key, "Translation") == 0) {
        if (out != nullptr) out[0] = '\0';
        return g_translationReadFailure;
    }
    return real(section, key, out, file);
}

namespace {

TEST(TranslationMode, AFailedReadIsNotTakenForAMissingSetting) {
    rdxtest::ScopedEnv locale("LC_ALL", "en_US.UTF-8");
    rdtest::TempHome home;
    ASSERT_EQ(0u, home.StartPlatform());
    ASSERT_EQ(0u, RDINISetString("Configuration", "Translation", "0", "quarry.ini"));
    const struct {
        uint32_t readFailure, init, mode;
    } cases[] = {{0, 0, 0}, {258, 258, 0}, {534, 0, 2}, {535, 0, 2}};
    for (const auto &c : cases) {
        g_translationReadFailure = c.readFailure;
        EXPECT_EQ(c.init, RDSystemInit()) << c.readFailure;
        g_translationReadFailure = 0;
        if (c.init != 0) {
            RDStream s{};
            EXPECT_EQ(12320u, RDStreamCreate(&s, 0, 0, 256)) << "not set up";
            continue;
        }
        EXPECT_EQ(c.mode, rdx::Context()->translation.translationMode) << c.readFailure;
        EXPECT_EQ(0u, RDSystemTerm());
    }
}

} // namespace
