// SPDX-License-Identifier: Apache-2.0
// Export then define gives back every stored description byte for byte:
// over random stores, and for the cases that once lost or changed values.
#include "../values/rdx_test_env.h"
#include "jobfile.h"
#include "names.h"
#include "test_store.h"
#include "tool_env.h"

#include "rdx_stream.h"
#include "visible_text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <random>
#include <set>

namespace rdcsmtest {
namespace {

using rdcsm::Item;
using rdcsm::JobObject;
using Dump = std::map<std::pair<int64_t, std::string>, std::string>;

constexpr uint32_t kAbsent = 0xFFFFFFFFu;

std::string Bytes(uint64_t value, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size && i < 8; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// Random objects: items of every type and value range, under numbers that
// connectors declare, built-in numbers and bare ones, with texts holding
// quotes, controls, broken UTF-8 and NULs.
class RandomStore {
  public:
    explicit RandomStore(uint64_t seed) : random_(seed) {}

    std::vector<JobObject> Objects() {
        std::vector<JobObject> objects;
        std::set<std::pair<int, std::string>> names;
        for (uint64_t n = 1 + Below(6); n > 0; --n) {
            JobObject object{Below(2) == 0 ? rdcsm::kActivity : rdcsm::kLink, Name(), {}};
            if (!names.insert({object.kind, object.name}).second) continue;
            std::set<uint32_t> numbers;
            for (uint64_t i = Below(25); i > 0; --i)
                if (const uint32_t number = Number(); numbers.insert(number).second)
                    object.items.push_back(RandomItem(number));
            if (Below(3) != 0 && numbers.insert(rdcsm::kConnectorNumber).second)
                object.items.insert(object.items.begin() + Below(object.items.size() + 1),
                                    ConnectorItem());
            objects.push_back(std::move(object));
        }
        return objects;
    }

  private:
    uint64_t Below(uint64_t n) { return random_() % n; }
    template <typename T> T Pick(std::initializer_list<T> choices) {
        return choices.begin()[Below(choices.size())];
    }

    // Pieces of text; the first kWellFormed are well-formed UTF-8 without NUL.
    static constexpr std::size_t kWellFormed = 22;
    std::string Text(bool wellFormed) {
        static const std::string kPieces[] = {
            "a", "Z9", " ", "'", "\"", "\\", "\t", "\n", "\r", "\x1b[31m", "\x7f", "\xc2\x9b", "ü",
            "日本", "\xf0\x9f\x98\x80", "\xe2\x80\xae", "'''", "\"\"\"", "#=[].", "password=pw",
            "PWD={a;b}", "\\u0041",
            // not well-formed: overlong, surrogate, past U+10FFFF, five
            // bytes, a stray continuation, a cut sequence, a NUL
            "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80",
            "\x80", "\xc3", std::string(1, '\0'), "\xff"};
        const std::size_t count = wellFormed ? kWellFormed : std::size(kPieces);
        std::string text;
        for (uint64_t n = Below(8); n > 0; --n)
            text += Below(6) == 0 ? std::string(1, static_cast<char>(Below(256)))
                                  : kPieces[Below(count)];
        if (wellFormed) // a random byte may have broken it
            while (!text.empty() && !rdxc::IsWellFormedUtf8(text))
                text.pop_back();
        return text;
    }

    std::string Name() {
        std::string name = Pick<const char *>({"load", "orders db", "a.b", "x"}) + Text(true);
        name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
        return name.substr(0, 511);
    }

    uint32_t Number() {
        switch (Below(5)) {
        case 0: // built-in numbers of links and activities
            return Below(2) == 0 ? 0x10001 + static_cast<uint32_t>(Below(15))
                                 : 0x30002 + static_cast<uint32_t>(Below(5));
        case 1: // numbers the test connector and rdpg declare
            return Pick<uint32_t>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        case 2:
            return 1 + static_cast<uint32_t>(Below(64));
        case 3:
            return Pick<uint32_t>({0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x40000000u});
        default:
            return 1 + static_cast<uint32_t>(Below(0xFFFFFFFFu));
        }
    }

    Item ConnectorItem() {
        const std::string name =
            Pick<std::string>({"declarer", "rdpg", "missing", std::string("rdpg\0x", 6), "r'd"});
        return Item{6, Below(5) == 0 ? 0u : RDCHARSET_INTERCHANGE, rdcsm::kConnectorNumber,
                    name + '\0'};
    }

    uint32_t Charset(uint32_t usual) {
        return Below(4) != 0 ? usual
                             : Pick<uint32_t>({0, 1, 65001, RDCHARSET_INTERCHANGE, RDKIND_RICHTEXT,
                                               0xFFFFFFFFu});
    }

    Item RandomItem(uint32_t number) {
        Item item;
        item.number = number;
        item.type = 1 + static_cast<uint32_t>(Below(7));
        switch (item.type) {
        case 1:
            item.charset = Charset(0);
            item.value =
                Bytes(Pick<uint64_t>({0, 1, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, random_()}), 4);
            break;
        case 2: {
            item.charset = Charset(0);
            const double real = Pick<double>({0.1, -0.0, 1e300, 5e-324, 1.0, 123456789012345680.0,
                                              -2.5e-8, 1.7976931348623157e308});
            uint64_t bits;
            std::memcpy(&bits, &real, 8);
            item.value = Bytes(Below(2) == 0 ? bits : random_(), 8);
            break;
        }
        case 3:
            item.charset = Charset(0);
            item.value = Bytes(Pick<uint64_t>({0, 1, ~0ull, 1ull << 63, (1ull << 63) - 1,
                                               1000000000000000000ull, random_()}),
                               8);
            break;
        case 4:
            item.charset = Charset(0);
            for (std::size_t i = 0; i < rdcsm::ScalarSize(4); ++i)
                item.value += static_cast<char>(Below(256));
            break;
        case 5: {
            item.charset = Charset(0);
            const uint32_t ticks = Pick<uint32_t>(
                {0, 8639999, 8640000, kAbsent, 4321987, static_cast<uint32_t>(random_())});
            const uint32_t date =
                Pick<uint32_t>({kAbsent, 2440588, 1721426, 1721425, 5373484, 5373485, 0,
                                2451604 | 0x01000000u, static_cast<uint32_t>(random_())});
            item.value = Bytes(ticks, 4) + Bytes(date, 4);
            break;
        }
        case 6:
            item.charset = Charset(RDCHARSET_INTERCHANGE);
            item.value = Text(Below(2) == 0) + '\0';
            break;
        default:
            item.charset = Charset(RDKIND_RICHTEXT);
            item.value = Text(Below(2) == 0) + '\0';
            break;
        }
        return item;
    }

    std::mt19937_64 random_;
};

Dump DumpOf(rdcsm::Store &store) {
    Dump dump;
    rdcsm::Statement all(store.Db(), "SELECT kind, name, description FROM objects");
    while (all.Step())
        dump[{all.Int(0), all.Text(1)}] = all.Blob(2);
    return dump;
}

class RoundTripTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SKIP_ON_PG_STORE();
        SystemTest::SetUp();
        InstallConnector(home_, RDCSM_TEST_CONNECTOR, "declarer");
        InstallConnector(home_, RDCSM_PG_CONNECTOR, "rdpg");
    }
    // A store at path holding objects.
    void Fill(const std::string &path, const std::vector<JobObject> &objects) {
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(path, error)) << error.message;
        for (const JobObject &object : objects)
            store.DefineObject(object.kind, object.name, rdcsm::PackItems(object.items));
    }
    Dump DumpAt(const std::string &path) {
        rdcsm::Store store;
        rdcsm::DbError error;
        EXPECT_TRUE(store.Open(path, error)) << error.message;
        return DumpOf(store);
    }
};

TEST_F(RoundTripTest, DefineOfExportGivesBackRandomStores) {
    for (uint64_t seed = 1; seed <= 150; ++seed) {
        const std::string from = home_.Path("from" + std::to_string(seed) + ".db");
        const std::string to = home_.Path("to" + std::to_string(seed) + ".db");
        Fill(from, RandomStore(seed).Objects());
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(from, error));
        std::string text, fault;
        ASSERT_TRUE(rdcsm::ExportJobFile(store, {}, text, fault)) << seed << ": " << fault;
        rdtest::WriteFile(home_.Path("jobs.toml"), text);
        std::vector<JobObject> objects;
        ASSERT_TRUE(rdcsm::ReadJobFile(home_.Path("jobs.toml"), objects, fault))
            << "seed " << seed << ": " << fault << "\n"
            << text;
        Fill(to, objects);
        ASSERT_EQ(DumpOf(store), DumpAt(to)) << "seed " << seed << "\n" << text;
    }
}

TEST_F(RoundTripTest, TheProgramExportsAndDefinesARandomStore) {
    // Without their connectors: the program's define has each connector
    // judge its values, and random values under a connector's numbers are
    // not ones it takes (the test above reads them back without that).
    std::vector<JobObject> objects = RandomStore(2026).Objects();
    for (JobObject &object : objects)
        std::erase_if(object.items,
                      [](const Item &item) { return item.number == rdcsm::kConnectorNumber; });
    Fill(home_.Path("rdcsm.db"), objects);
    const Dump stored = DumpAt(home_.Path("rdcsm.db"));
    ASSERT_FALSE(stored.empty());
    const std::string file = home_.Path("jobs.toml");
    ToolRun run = RunTool(home_, "export -o " + Quoted(file));
    ASSERT_EQ(0, run.status) << run.err;
    ASSERT_EQ(0, rdtest::Shell("rm " + Quoted(home_.Path("rdcsm.db")) + "*"));
    run = RunTool(home_, "define " + Quoted(file));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(stored, DumpAt(home_.Path("rdcsm.db")));
}

// Defines the job text through the program and exports it again.
std::string DefineAndExport(const rdtest::TempHome &home, const std::string &job) {
    rdtest::WriteFile(home.Path("job.toml"), job);
    ToolRun run = RunTool(home, "define " + Quoted(home.Path("job.toml")));
    EXPECT_EQ(0, run.status) << run.err;
    run = RunTool(home, "export");
    EXPECT_EQ(0, run.status) << run.err;
    return run.out;
}

TEST_F(RoundTripTest, AConnectorsPasswordAndTheBuiltInOneStayApart) {
    const std::string exported =
        DefineAndExport(home_, "[link.pg]\nconnector = \"rdpg\"\nPassword = \"declared\"\n"
                               "0x00010004 = \"builtin\"\n[link.low]\nconnector = \"rdpg\"\n"
                               "password = \"lower\"\n");
    EXPECT_NE(std::string::npos, exported.find("Password = 'declared'\n0x00010004 = 'builtin'"))
        << exported;
    // A name of the connector's in another case is still the connector's.
    const ToolRun run = RunTool(home_, "show low --show-secrets");
    EXPECT_NE(std::string::npos, run.out.find("0x00000005 Password = 'lower'")) << run.out;
    const Dump before = DumpAt(home_.Path("rdcsm.db"));
    EXPECT_EQ(exported, DefineAndExport(home_, exported));
    EXPECT_EQ(before, DumpAt(home_.Path("rdcsm.db")));
}

TEST_F(RoundTripTest, CurrencyOverItsWholeRange) {
    const std::string job = "[activity.money]\n"
                            "1 = { currency = \"100000000000000\" }\n"
                            "2 = { currency = \"922337203685477.5807\" }\n"
                            "3 = { currency = \"-922337203685477.5808\" }\n"
                            "4 = { currency = \"-0.0001\" }\n";
    const std::string exported = DefineAndExport(home_, job);
    EXPECT_NE(std::string::npos,
              exported.find("0x00000001 = { currency = '100000000000000.0000' }"))
        << exported;
    EXPECT_NE(std::string::npos, exported.find("'922337203685477.5807'")) << exported;
    EXPECT_NE(std::string::npos, exported.find("'-922337203685477.5808'")) << exported;
    EXPECT_EQ(exported, DefineAndExport(home_, exported));
    for (const char *beyond :
         {"922337203685477.5808", "-922337203685477.5809", "99999999999999999999", "1.00001"}) {
        rdtest::WriteFile(home_.Path("bad.toml"),
                          std::string("[activity.a]\n1 = { currency = \"") + beyond + "\" }\n");
        const ToolRun run = RunTool(home_, "define " + Quoted(home_.Path("bad.toml")));
        EXPECT_EQ(1, run.status) << beyond;
        EXPECT_NE(std::string::npos, run.err.find("the currency amount")) << run.err;
    }
}

TEST_F(RoundTripTest, PropertiesKeepTheOrderOfTheFile) {
    const std::string exported =
        DefineAndExport(home_, "[link.l]\nUserid = \"u\"\n0x00000009 = 9\nServer = \"s\"\n"
                               "0x00000002 = 2\n");
    EXPECT_NE(std::string::npos,
              exported.find("Userid = 'u'\n0x00000009 = 9\nServer = 's'\n0x00000002 = 2\n"))
        << exported;
}

TEST_F(RoundTripTest, BrokenUtf8TravelsAsItsBytes) {
    Fill(home_.Path("rdcsm.db"),
         {{rdcsm::kLink,
           "l",
           {Item{6, RDCHARSET_INTERCHANGE, 1, std::string("\xc0\xaf\0", 3)},
            Item{6, RDCHARSET_INTERCHANGE, 2, std::string("\xed\xa0\x80\0", 4)},
            Item{7, RDKIND_RICHTEXT, 3, std::string("\xf4\x90\x80\x80\0", 5)}}}});
    const Dump stored = DumpAt(home_.Path("rdcsm.db"));
    ToolRun run = RunTool(home_, "export");
    EXPECT_NE(std::string::npos, run.out.find("hex = 'c0af00'")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("hex = 'eda08000'")) << run.out;
    EXPECT_EQ(run.out, DefineAndExport(home_, run.out));
    EXPECT_EQ(stored, DumpAt(home_.Path("rdcsm.db")));
}

TEST_F(RoundTripTest, ExportRefusesWhatNoJobFileCanHold) {
    Fill(home_.Path("rdcsm.db"), {{rdcsm::kLink, "zero", {Item{1, 0, 0, Bytes(5, 4)}}}});
    const std::string file = home_.Path("jobs.toml");
    rdtest::WriteFile(file, "old\n");
    const ToolRun run = RunTool(home_, "export -o " + Quoted(file));
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("the link zero holds property 0x00000000"))
        << run.err;
    EXPECT_EQ("old\n", rdtest::ReadFile(file));
}

} // namespace
} // namespace rdcsmtest
