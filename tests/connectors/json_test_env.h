// SPDX-License-Identifier: Apache-2.0
// The JSON Lines connector under test, in a temporary home.
#pragma once

#include "connector_harness.h"
#include "value_text.h"

#include <zlib.h>

namespace connectortest {

// Records first..first+count-1 of list as the kit's texts (ISO date-times,
// hexadecimal binary, numerics at their field's scale) joined by '|'.
inline std::vector<std::string> KitRows(uint32_t list, uint32_t first, uint32_t count) {
    std::vector<std::string> rows;
    std::string text;
    for (uint32_t r = first; r < first + count; ++r) {
        std::string row;
        for (uint32_t f = 1; f <= RDFieldlistGetCount(list); ++f) {
            uint32_t field = 0;
            EXPECT_EQ(0u, RDFieldlistGetField(list, f, 256, &field, nullptr));
            bool isNull = false;
            EXPECT_EQ(0u, rdxc::ValueToText(field, RDFieldGetType(field), r, text, isNull));
            row += (f > 1 ? "|" : "") + (isNull ? std::string("<null>") : text);
        }
        rows.push_back(row);
    }
    return rows;
}

// Fetches batches until the end or a failure; the records as KitRows.
inline uint32_t KitFetchAll(Connection &c, uint32_t list, std::vector<std::string> &rows) {
    const uint32_t batch = RDFieldlistGetRecordCount(list);
    for (int guard = 0; guard < 100000; ++guard) {
        uint32_t fetched = 0;
        const uint32_t status = c.Fetch(list, 1, batch, &fetched);
        for (const std::string &row : KitRows(list, 1, fetched))
            rows.push_back(row);
        if (status != 0) return status;
    }
    return 0;
}

// Fill with the kit's readers of texts (ISO date-times, hexadecimal binary).
inline void KitFill(uint32_t list, const std::vector<std::pair<std::string, uint32_t>> &fields,
                    const std::vector<std::vector<std::string>> &rows) {
    Fill(list, fields, rows,
         [](uint32_t field, uint32_t type, uint32_t index, const std::string &text) {
             return rdxc::TextToValue(field, type, index, text);
         });
}

// Inserts rows (KitFill texts) of fields as one batch; its status.
inline uint32_t InsertRows(Connection &c,
                           const std::vector<std::pair<std::string, uint32_t>> &fields,
                           const std::vector<std::vector<std::string>> &rows) {
    List list(static_cast<uint32_t>(rows.size()));
    KitFill(list, fields, rows);
    uint32_t done = 0;
    const uint32_t status = c.Insert(list, 1, static_cast<uint32_t>(rows.size()), &done);
    EXPECT_EQ(status == 0 ? rows.size() : 0u, done);
    return status;
}

class JsonTest : public rdxtest::SystemTest {
  protected:
    // A connection to the file name in the home folder with the given
    // properties, connected (the status is checked).
    std::unique_ptr<Connection>
    Open(const std::string &name,
         const std::vector<std::pair<std::string, std::string>> &props = {},
         uint32_t expectConnect = 0) {
        return OpenPath(json_, home_.Path(name), props, expectConnect);
    }
    std::string Path(const std::string &name) const { return home_.Path(name); }

    // Every record of the file (fields inferred or as props declare), or
    // the rows up to the first failure, whose status goes to *status.
    std::vector<std::string> ReadAll(const std::string &name,
                                     const std::vector<std::pair<std::string, std::string>> &props,
                                     std::string *layout = nullptr, uint32_t *status = nullptr) {
        auto c = Open(name, props);
        List list(4);
        std::vector<std::string> rows;
        const uint32_t selected = c->Select(list, 4);
        if (status != nullptr) *status = selected;
        if (selected != 0) return rows;
        if (layout != nullptr) *layout = Layout(list);
        const uint32_t end = KitFetchAll(*c, list, rows);
        if (status != nullptr) *status = end;
        return rows;
    }

    Plugin json_{RDTEST_RDJSON_PATH};
};

// The bytes of a gzip file, decompressed (empty when it is not one).
inline std::string Gunzip(const std::string &path) {
    gzFile file = gzopen(path.c_str(), "rb");
    std::string out;
    if (file == nullptr) return out;
    char chunk[65536];
    for (int n; (n = gzread(file, chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    gzclose(file);
    return out;
}

inline void Gzip(const std::string &path, const std::string &bytes) {
    gzFile file = gzopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(static_cast<int>(bytes.size()),
              gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())));
    gzclose(file);
}

} // namespace connectortest
