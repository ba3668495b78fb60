#include "rdplat.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using PathFn = const char *(*)();
using AnswerFn = int (*)();

// Copies the test connector into the home directory as file.
void InstallConnector(const rdtest::TempHome &home, const std::string &file) {
    rdtest::WriteFile(home.Path(file), rdtest::ReadFile(RDTEST_CONNECTOR_PATH));
}

// The file the connector behind library was loaded from.
std::string LoadedFrom(RDLibHandle library) {
    auto path = reinterpret_cast<PathFn>(RDLibraryLoadProc(library, "TestConnectorPath", 0));
    return path != nullptr ? path() : "";
}

TEST(Library, ConnectorFlagLoadsHomePlusNamePlusRdx) {
    rdtest::TempHome home;
    InstallConnector(home, "probe.rdx");
    EXPECT_EQ(RDLibraryLoad("probe", RDLIBRARY_CONNECTOR), nullptr); // no home yet
    ASSERT_EQ(home.StartPlatform(), 0u);
    RDLibHandle library = RDLibraryLoad("probe", RDLIBRARY_CONNECTOR | RDLIBRARY_NOERRORBOX);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(LoadedFrom(library), home.Path("probe.rdx"));
    EXPECT_NE(RDLibraryFree(library), 0);
    EXPECT_EQ(RDLibraryLoad("absent", RDLIBRARY_CONNECTOR), nullptr);
    EXPECT_EQ(RDLibraryLoad("probe", 0), nullptr); // unchanged name: not in the search path
    RDLibHandle byPath = RDLibraryLoad(home.Path("probe.rdx").c_str(), 0);
    EXPECT_NE(byPath, nullptr);
    EXPECT_NE(RDLibraryFree(byPath), 0);
    EXPECT_EQ(RDLibraryLoad("", 0), nullptr); // would be the main program
    EXPECT_EQ(RDLibraryLoad(nullptr, RDLIBRARY_CONNECTOR), nullptr);
    EXPECT_EQ(RDLibraryFree(nullptr), 0);

    // Base names whose full path is 263 characters (fits with its NUL) and 264.
    size_t fitting = RDPLAT_PATH_SIZE - 1 - home.Dir().size() - 4;
    std::string fits(fitting, 'f'), over(fitting + 1, 'o');
    InstallConnector(home, fits + ".rdx");
    InstallConnector(home, over + ".rdx");
    RDLibHandle longest = RDLibraryLoad(fits.c_str(), RDLIBRARY_CONNECTOR);
    EXPECT_NE(longest, nullptr);
    RDLibraryFree(longest);
    EXPECT_EQ(RDLibraryLoad(over.c_str(), RDLIBRARY_CONNECTOR), nullptr);
}

TEST(Library, EntriesByNameAndByOrdinal) {
    RDLibHandle library = RDLibraryLoad(RDTEST_CONNECTOR_PATH, 0);
    ASSERT_NE(library, nullptr);
    auto answer = reinterpret_cast<AnswerFn>(RDLibraryLoadProc(library, "TestConnectorAnswer", 5));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 1), reinterpret_cast<void *>(answer));
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 0x70001), reinterpret_cast<void *>(answer));
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 5),
              RDLibraryLoadProc(library, "TestConnectorPath", 0));
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 3), nullptr); // not in the table
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 7), nullptr); // names a missing entry
    // Entries of the libraries the connector depends on are not its own.
    EXPECT_EQ(RDLibraryLoadProc(library, nullptr, 9), nullptr);
    EXPECT_EQ(RDLibraryLoadProc(library, "RDMemAlloc", 0), nullptr);
    EXPECT_EQ(RDLibraryLoadProc(library, "Missing", 1), nullptr);
    EXPECT_EQ(RDLibraryLoadProc(nullptr, "TestConnectorAnswer", 1), nullptr);
    EXPECT_NE(RDLibraryFree(library), 0);
}

} // namespace
