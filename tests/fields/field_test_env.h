// SPDX-License-Identifier: Apache-2.0
// Fields test support: the system test environment, names as streams, and
// snapshots of a list's whole state for all-or-nothing checks.
#pragma once

#include "../values/rdx_test_env.h"
#include "fields/fieldlist_internal.h"

#include <string>
#include <vector>

namespace rdxtest {
// A record's members with its flags masked.
inline Fields FieldsOf(const RDStream &s, uint32_t flagMask) {
    return {s.maxLength, s.length, s.flags & flagMask, s.charset};
}
} // namespace rdxtest

namespace fieldtest {

using rdxtest::Stream;

class FieldsTest : public rdxtest::SystemTest {};

// Handles of the fields appended to list under names, of type.
inline std::vector<uint32_t> AppendAll(uint32_t list, const std::vector<std::string> &names,
                                       uint32_t type = RDTYPE_INT, uint32_t charset = 256) {
    std::vector<uint32_t> handles;
    for (const std::string &name : names) {
        Stream s(name, charset);
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistAppend(list, &s, type, &field)) << name;
        handles.push_back(field);
    }
    return handles;
}

// The names of the list's slots in charset, in slot order, joined by '|'.
inline std::string NamesOf(uint32_t list, uint32_t charset = 256) {
    std::string joined;
    EXPECT_EQ(0u, RDFieldlistListSetup(list, charset));
    RDStream *name = nullptr;
    while (RDFieldlistList(list, nullptr, nullptr, nullptr, nullptr, &name) == 0)
        joined += (joined.empty() ? "" : "|") +
                  std::string(reinterpret_cast<char *>(name->data), name->length);
    return joined;
}

inline std::string Bytes(const void *data, size_t n) {
    return n == 0 ? std::string() : std::string(static_cast<const char *>(data), n);
}

// Everything observable of a field: members, value bytes (stream data for
// streams) and indicators.
inline std::string FieldState(const rdx::Field &f) {
    std::string s = Bytes(&f, offsetof(rdx::Field, owner)) + Bytes(&f.owner, sizeof f.owner);
    for (uint32_t i = 1; i <= f.valueCount; ++i) {
        if (rdx::IsStreamType(f.type)) {
            const RDStream *v = rdx::StreamAt(f, i);
            s += Bytes(v, 16) + Bytes(v->data, v->data ? v->length : 0);
        } else {
            s += Bytes(rdx::ValueAt(f, i), f.typeSize);
        }
        s += Bytes(&f.nulls[i - 1], 4);
    }
    return s;
}

// Everything observable of a list: its record's counters, every name of
// every array, every field, and that each field handle reaches its record.
inline std::string ListState(uint32_t handle) {
    const rdx::Fieldlist *list = rdx::FindFieldlist(handle);
    if (list == nullptr) return "none";
    std::string s = Bytes(list, offsetof(rdx::Fieldlist, fieldBlock));
    const rdx::NameBlock &names = *list->nameBlock;
    s += Bytes(names.charsets, names.charsetCount * 4);
    for (uint32_t c = 0; c < names.charsetCount; ++c) {
        for (uint32_t j = 0; j < list->count; ++j) {
            const RDStream &n = names.names[c][j];
            s += Bytes(&n, 16) + Bytes(n.data, n.length) + "/";
        }
    }
    if (list->fieldBlock != nullptr) {
        s += Bytes(&list->fieldBlock->recordCount, 12);
        for (uint32_t j = 0; j < list->count; ++j) {
            const rdx::Field &f = list->fieldBlock->fields[j];
            s += FieldState(f);
            EXPECT_EQ(&f, rdx::FindField(f.handle));
        }
    }
    return s;
}

} // namespace fieldtest
