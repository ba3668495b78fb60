// SPDX-License-Identifier: Apache-2.0
// Drives a connector plug-in the way the library does: loads NAME.rdx with
// dlopen, checks its identify record, gives each connection a zeroed private
// area of the declared size and calls the entry points directly. Field lists
// and values are the library's own.
#pragma once

#include "../values/rdx_test_env.h"
#include "rdx_connector.h"

#include <dlfcn.h>
#include <functional>
#include <memory>
#include <ostream>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace connectortest {

using rdxtest::Stream;

struct Plugin {
    explicit Plugin(const char *path) {
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return;
        auto get = [this](const char *name) { return dlsym(library, name); };
#define RDX_RESOLVE(name) name = reinterpret_cast<name##Proc>(get(#name))
        RDX_RESOLVE(RDXIdentify);
        RDX_RESOLVE(RDXInitialize);
        RDX_RESOLVE(RDXTerminate);
        RDX_RESOLVE(RDXGetProperty);
        RDX_RESOLVE(RDXSetProperty);
        RDX_RESOLVE(RDXConnect);
        RDX_RESOLVE(RDXDisconnect);
        RDX_RESOLVE(RDXExecute);
        RDX_RESOLVE(RDXSelect);
        RDX_RESOLVE(RDXFetch);
        RDX_RESOLVE(RDXInsert);
        RDX_RESOLVE(RDXUpdate);
        RDX_RESOLVE(RDXRemove);
        RDX_RESOLVE(RDXAction);
        RDX_RESOLVE(RDXCatalog);
        RDX_RESOLVE(RDXCreate);
        RDX_RESOLVE(RDXDrop);
#undef RDX_RESOLVE
        if (RDXIdentify != nullptr) identifyStatus = RDXIdentify(&record);
    }
    ~Plugin() {
        if (library != nullptr) dlclose(library);
    }
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    // Every entry point of a link connector is there.
    bool Complete() const {
        const bool entries[] = {
            RDXIdentify != nullptr,    RDXInitialize != nullptr,  RDXTerminate != nullptr,
            RDXGetProperty != nullptr, RDXSetProperty != nullptr, RDXConnect != nullptr,
            RDXDisconnect != nullptr,  RDXExecute != nullptr,     RDXSelect != nullptr,
            RDXFetch != nullptr,       RDXInsert != nullptr,      RDXUpdate != nullptr,
            RDXRemove != nullptr,      RDXAction != nullptr,      RDXCatalog != nullptr,
            RDXCreate != nullptr,      RDXDrop != nullptr};
        for (bool present : entries) {
            if (!present) return false;
        }
        return true;
    }
    // The declared number of a property name, 0 when none.
    uint32_t Number(const std::string &name) const {
        for (const PropertyDeclaration *d = record.declarations; d && d->number != 0; ++d) {
            if (d->name != nullptr && name == std::string(d->name, d->nameLength)) return d->number;
        }
        return 0;
    }

    void *library = nullptr;
    IdentifyRecord record{};
    uint32_t identifyStatus = 1;
    RDXIdentifyProc RDXIdentify = nullptr;
    RDXInitializeProc RDXInitialize = nullptr;
    RDXTerminateProc RDXTerminate = nullptr;
    RDXGetPropertyProc RDXGetProperty = nullptr;
    RDXSetPropertyProc RDXSetProperty = nullptr;
    RDXConnectProc RDXConnect = nullptr;
    RDXDisconnectProc RDXDisconnect = nullptr;
    RDXExecuteProc RDXExecute = nullptr;
    RDXSelectProc RDXSelect = nullptr;
    RDXFetchProc RDXFetch = nullptr;
    RDXInsertProc RDXInsert = nullptr;
    RDXUpdateProc RDXUpdate = nullptr;
    RDXRemoveProc RDXRemove = nullptr;
    RDXActionProc RDXAction = nullptr;
    RDXCatalogProc RDXCatalog = nullptr;
    RDXCreateProc RDXCreate = nullptr;
    RDXDropProc RDXDrop = nullptr;
};

// A field list, freed at the end of the scope.
struct List {
    explicit List(uint32_t records) { EXPECT_EQ(0u, RDFieldlistAlloc(&handle, records, 0)); }
    ~List() { RDFieldlistFree(handle); }
    List(const List &) = delete;
    List &operator=(const List &) = delete;
    operator uint32_t() const { return handle; }
    uint32_t handle = 0;
};

// One connection: the private area and the calls on it.
class Connection {
  public:
    explicit Connection(Plugin &plugin) : p_(plugin), private_(plugin.record.privateSize, 0) {
        EXPECT_EQ(0u, p_.RDXInitialize(Private(), 0x10001, 1));
    }
    ~Connection() {
        if (connected_) p_.RDXDisconnect(Private(), 0);
        p_.RDXTerminate(Private(), 1);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void *Private() { return private_.empty() ? nullptr : private_.data(); }

    // Sets the named property from a text (or an Int) field holding value.
    uint32_t Set(const std::string &name, const std::string &value) {
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
        Stream text(value, 256);
        EXPECT_EQ(0u, RDFieldSetStream(field, 1, &text));
        const uint32_t status = p_.RDXSetProperty(Private(), Number(name), field);
        RDFieldFree(field);
        return status;
    }
    uint32_t SetInt(const std::string &name, int32_t value) {
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldAlloc(&field, RDTYPE_INT, 1));
        EXPECT_EQ(0u, RDFieldSetInt(field, 1, &value));
        const uint32_t status = p_.RDXSetProperty(Private(), Number(name), field);
        RDFieldFree(field);
        return status;
    }
    std::string Get(const std::string &name) {
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
        EXPECT_EQ(0u, p_.RDXGetProperty(Private(), Number(name), field));
        Stream text;
        uint32_t isNull = 0;
        EXPECT_EQ(0u, RDFieldGetStream(field, 1, 256, &text, &isNull));
        RDFieldFree(field);
        return isNull ? std::string() : text.Bytes();
    }
    std::string LastError() { return Get("LastError"); }

    uint32_t Connect() {
        const uint32_t status = p_.RDXConnect(Private());
        connected_ = status == 0;
        return status;
    }
    uint32_t Disconnect() {
        connected_ = false;
        return p_.RDXDisconnect(Private(), 0);
    }
    uint32_t Select(uint32_t list, uint32_t perFetch, uint32_t *count = nullptr) {
        uint32_t local = 0;
        return p_.RDXSelect(Private(), list, perFetch, 0, count ? count : &local);
    }
    uint32_t Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched) {
        return p_.RDXFetch(Private(), list, first, count, fetched);
    }
    uint32_t Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
        return p_.RDXInsert(Private(), list, first, count, done);
    }

  private:
    uint32_t Number(const std::string &name) {
        const uint32_t number = p_.Number(name);
        EXPECT_NE(0u, number) << name;
        return number;
    }

    Plugin &p_;
    std::vector<unsigned char> private_;
    bool connected_ = false;
};

// A connection of a file connector to path with the given properties,
// connected (the status is checked).
inline std::unique_ptr<Connection>
OpenPath(Plugin &plugin, const std::string &path,
         const std::vector<std::pair<std::string, std::string>> &props, uint32_t expectConnect) {
    auto c = std::make_unique<Connection>(plugin);
    EXPECT_EQ(0u, c->Set("Path", path));
    for (const auto &[property, value] : props)
        EXPECT_EQ(0u, c->Set(property, value)) << property;
    EXPECT_EQ(expectConnect, c->Connect()) << c->LastError();
    return c;
}

// Value index of field as text ("<null>" for a null value).
inline std::string ValueText(uint32_t field, uint32_t index) {
    Stream text;
    uint32_t isNull = 0;
    EXPECT_EQ(0u, RDFieldGetStream(field, index, 256, &text, &isNull));
    return isNull ? "<null>" : text.Bytes();
}

// Records first..first+count-1 of list, each as its values joined by '|'.
inline std::vector<std::string> Rows(uint32_t list, uint32_t first, uint32_t count) {
    std::vector<std::string> rows;
    const uint32_t fields = RDFieldlistGetCount(list);
    for (uint32_t r = first; r < first + count; ++r) {
        std::string row;
        for (uint32_t f = 1; f <= fields; ++f) {
            uint32_t field = 0;
            EXPECT_EQ(0u, RDFieldlistGetField(list, f, 256, &field, nullptr));
            row += (f > 1 ? "|" : "") + ValueText(field, r);
        }
        rows.push_back(row);
    }
    return rows;
}

// The list's field names and type codes as "name:type,...".
inline std::string Layout(uint32_t list) {
    std::string layout;
    for (uint32_t f = 1; f <= RDFieldlistGetCount(list); ++f) {
        uint32_t field = 0;
        RDStream *name = nullptr;
        EXPECT_EQ(0u, RDFieldlistGetField(list, f, 256, &field, &name));
        layout += (f > 1 ? "," : "") +
                  std::string(reinterpret_cast<char *>(name->data), name->length) + ":" +
                  std::to_string(RDFieldGetType(field));
    }
    return layout;
}

// The first column of the first row of sql on a SQLite database, straight
// from SQLite ("<null>", "<none>" without a row).
inline std::string SqliteFirst(const std::string &database, const std::string &sql) {
    sqlite3 *db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open(database.c_str(), &db));
    std::string result = "<none>";
    sqlite3_exec(
        db, sql.c_str(),
        [](void *out, int, char **values, char **) {
            *static_cast<std::string *>(out) = values[0] ? values[0] : "<null>";
            return 1;
        },
        &result, nullptr);
    sqlite3_close(db);
    return result;
}

using rdtest::ReadFile;
using rdtest::WriteFile;

} // namespace connectortest

namespace connectortest {

// Stores the text of a row as value index of field (of type).
using StoreText =
    std::function<uint32_t(uint32_t field, uint32_t type, uint32_t index, const std::string &text)>;
// The library converts the text, given as a stream.
inline uint32_t StoreAsStream(uint32_t field, uint32_t, uint32_t index, const std::string &text) {
    Stream value(text, 256);
    return RDFieldSetStream(field, index, &value);
}

// Appends fields "name:type" (type code) to list and fills records from
// rows of texts ("<null>" for a null value), each stored by store.
inline void Fill(uint32_t list, const std::vector<std::pair<std::string, uint32_t>> &fields,
                 const std::vector<std::vector<std::string>> &rows,
                 const StoreText &store = StoreAsStream) {
    std::vector<uint32_t> handles;
    for (const auto &[name, type] : fields) {
        Stream text(name, 256);
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistAppend(list, &text, type, &field)) << name;
        handles.push_back(field);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t f = 0; f < handles.size(); ++f) {
            const uint32_t index = static_cast<uint32_t>(r + 1);
            if (rows[r][f] == "<null>") {
                EXPECT_EQ(0u, RDFieldSetNull(handles[f], index, 1));
                continue;
            }
            EXPECT_EQ(0u, store(handles[f], fields[f].second, index, rows[r][f])) << rows[r][f];
        }
    }
}

// One fetch: its status and count.
struct Step {
    uint32_t status, fetched;
    bool operator==(const Step &o) const { return status == o.status && fetched == o.fetched; }
};
inline std::ostream &operator<<(std::ostream &out, const Step &s) {
    return out << "{" << s.status << "," << s.fetched << "}";
}

// Fetches batches of the list's size until the end or a failure; each
// batch's records go to rows, each call to the steps.
inline std::vector<Step> FetchAll(Connection &c, uint32_t list, std::vector<std::string> &rows) {
    std::vector<Step> steps;
    const uint32_t batch = RDFieldlistGetRecordCount(list);
    for (int guard = 0; guard < 100000; ++guard) {
        uint32_t fetched = 0;
        const uint32_t status = c.Fetch(list, 1, batch, &fetched);
        steps.push_back({status, fetched});
        for (const std::string &row : Rows(list, 1, fetched))
            rows.push_back(row);
        if (status != 0) break;
    }
    return steps;
}

// Inserts the first record of list alone, then all its records: both must
// fail with status, nothing done, and a text holding says.
inline void ExpectInsertFails(Connection &c, uint32_t list, uint32_t status,
                              const std::string &says) {
    for (uint32_t count : {1u, RDFieldlistGetRecordCount(list)}) {
        uint32_t done = 9;
        EXPECT_EQ(status, c.Insert(list, 1, count, &done)) << says << " (" << count << ")";
        EXPECT_EQ(0u, done);
        EXPECT_NE(std::string::npos, c.LastError().find(says)) << c.LastError();
    }
}

// Every row c selects with OrderBy set to orderBy.
inline std::vector<std::string> ReadOrdered(Connection &c, const std::string &orderBy) {
    EXPECT_EQ(0u, c.Set("OrderBy", orderBy));
    List out(10);
    EXPECT_EQ(0u, c.Select(out, 10)) << c.LastError();
    std::vector<std::string> rows;
    FetchAll(c, out, rows);
    return rows;
}

// Two records into table, the second good: the first fails with status
// and a text holding says (status 0: it goes in, and the second with it).
// After a record's fault the connection stands and the good one goes in.
struct InsertFault {
    std::string table;
    std::vector<std::pair<std::string, uint32_t>> fields;
    std::vector<std::string> first, second;
    uint32_t status;
    std::string says;
};
inline void ExpectInsertFaults(Connection &c, const std::vector<InsertFault> &faults) {
    for (const InsertFault &f : faults) {
        SCOPED_TRACE(f.table + ": " + f.says);
        ASSERT_EQ(0u, c.Set("Table", f.table));
        List list(2);
        Fill(list, f.fields, {f.first, f.second});
        uint32_t done = 0;
        if (f.status == 0) {
            EXPECT_EQ(0u, c.Insert(list, 1, 2, &done)) << c.LastError();
        } else {
            ExpectInsertFails(c, list, f.status, f.says);
        }
        if (f.status == RDSTATUS_RECORDFAULT) {
            EXPECT_EQ(0u, c.Insert(list, 2, 1, &done)) << c.LastError();
        }
    }
}

// Copies every record from source (selected into a list of batch records)
// to target, batch by batch; returns the status that ended the copy
// (RDX_END_OF_DATA when all went well).
inline uint32_t Copy(Connection &source, Connection &target, uint32_t batch) {
    List list(batch);
    if (uint32_t status = source.Select(list, batch); status != 0) return status;
    for (;;) {
        uint32_t fetched = 0, done = 0;
        const uint32_t status = source.Fetch(list, 1, batch, &fetched);
        if (fetched > 0) {
            if (uint32_t s = target.Insert(list, 1, fetched, &done); s != 0) return s;
            EXPECT_EQ(fetched, done);
        }
        if (status != 0) return status;
    }
}

// Inserts records 1..count of list twice; after each pass `table()` must
// read `expected`: a keyed write leaves the same rows however often it runs.
template <class Read, class Rows>
void ExpectInsertTwice(Connection &c, uint32_t list, uint32_t count, const Read &table,
                       const Rows &expected) {
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t done = 0;
        ASSERT_EQ(0u, c.Insert(list, 1, count, &done)) << c.LastError();
        EXPECT_EQ(count, done);
        EXPECT_EQ(expected, table()) << "pass " << pass;
    }
}

} // namespace connectortest
