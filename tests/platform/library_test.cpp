// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

namespace {

void InstallConnector(const rdtest::TempHome &home, const std::string &file) {
    WriteFile(home.Path(file), ReadFile(RDTEST_CONNECTOR_PATH));
}

// Loads then frees; whether the load worked.
bool Loads(const char *name, uint32_t flags) {
    RDLibHandle library = RDLibraryLoad(name, flags);
    return library != nullptr && RDLibraryFree(library) != 0;
}

TEST(Library, ConnectorFlagLoadsHomePlusNamePlusRdx) {
    rdtest::TempHome home;
    InstallConnector(home, "probe.rdx");
    EXPECT_FALSE(Loads("probe", RDLIBRARY_CONNECTOR)); // no home yet
    ASSERT_EQ(home.StartPlatform(), 0u);
    RDLibHandle library = RDLibraryLoad("probe", RDLIBRARY_CONNECTOR | RDLIBRARY_NOERRORBOX);
    ASSERT_NE(library, nullptr);
    using PathFn = const char *(*)();
    auto path = reinterpret_cast<PathFn>(RDLibraryLoadProc(library, "TestConnectorPath", 0));
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path()), home.Path("probe.rdx"));
    EXPECT_NE(RDLibraryFree(library), 0);
    EXPECT_FALSE(Loads("absent", RDLIBRARY_CONNECTOR));
    EXPECT_FALSE(Loads("probe", 0)); // unchanged name: not in the search path
    EXPECT_TRUE(Loads(home.Path("probe.rdx").c_str(), 0));
    EXPECT_FALSE(Loads("", 0)); // would be the main program
    EXPECT_FALSE(Loads(nullptr, RDLIBRARY_CONNECTOR));
    // Connector names never reach outside the home directory, not even when
    // the path would lead back into it.
    ASSERT_EQ(mkdir(home.Path("sub").c_str(), 0700), 0);
    InstallConnector(home, "sub/probe.rdx");
    std::string dir = home.Dir().substr(0, home.Dir().size() - 1);
    std::string climbing = "../" + dir.substr(dir.rfind('/') + 1) + "/probe";
    ASSERT_TRUE(FileExists(home.Path(climbing + ".rdx")));
    for (const std::string &name : {std::string("sub/probe"), climbing})
        EXPECT_FALSE(Loads(name.c_str(), RDLIBRARY_CONNECTOR)) << name;
    EXPECT_EQ(RDLibraryFree(nullptr), 0);

    // Base names whose full path is 263 characters (fits with its NUL) and 264.
    size_t fitting = RDPLAT_PATH_SIZE - 1 - home.Dir().size() - 4;
    std::string fits(fitting, 'f'), over(fitting + 1, 'o');
    InstallConnector(home, fits + ".rdx");
    InstallConnector(home, over + ".rdx");
    EXPECT_TRUE(Loads(fits.c_str(), RDLIBRARY_CONNECTOR));
    EXPECT_FALSE(Loads(over.c_str(), RDLIBRARY_CONNECTOR));
}

TEST(Library, EntriesByNameAndByOrdinal) {
    RDLibHandle library = RDLibraryLoad(RDTEST_CONNECTOR_PATH, 0);
    ASSERT_NE(library, nullptr);
    void *answer = RDLibraryLoadProc(library, "TestConnectorAnswer", 5);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)()>(answer)(), 42);
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 1), answer);
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 0x70001), answer);
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 5),
              RDLibraryLoadProc(library, "TestConnectorPath", 0));
    // Not in the table, naming a missing entry, and entries of the libraries
    // the connector depends on, which are not its own.
    for (uint32_t ordinal : {3u, 7u, 9u})
        EXPECT_EQ(RDLibraryLoadProc(library, nullptr, ordinal), nullptr) << ordinal;
    EXPECT_EQ(RDLibraryLoadProc(library, "RDMemAlloc", 0), nullptr);
    EXPECT_EQ(RDLibraryLoadProc(library, "Missing", 1), nullptr);
    EXPECT_EQ(RDLibraryLoadProc(nullptr, "TestConnectorAnswer", 1), nullptr);
    EXPECT_NE(RDLibraryFree(library), 0);
}

} // namespace
