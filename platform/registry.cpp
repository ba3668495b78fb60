// SPDX-License-Identifier: Apache-2.0
// String values under the system's registry key, kept in one text file
// (see registry_file.h for its form and registry_store.h for its handling).
#include "rdplat_registry.h"

#include "registry_file.h"
#include "registry_store.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace rdplat::registry;

constexpr std::string_view kComponentsKey = "Software\\Orvale\\Components\\";
// Key paths are built in a 512-byte buffer: at most 511 bytes and the NUL.
constexpr size_t kMaxKeyPath = 511;

// The key path of a component, or false when there is none that fits. With
// allowAbsolute, a component beginning with '\' is the whole path below the
// root.
bool BuildKeyPath(const char *component, bool allowAbsolute, std::string &path) {
    if (component == nullptr) return false;
    std::string_view text = component;
    if (allowAbsolute && text.starts_with('\\'))
        path = text.substr(1);
    else
        path = std::string(kComponentsKey) + component;
    return path.size() <= kMaxKeyPath;
}

// A key can only be created when no key name on its path is empty and no
// name holds a control character.
bool CanCreate(std::string_view path) {
    path = NormalizePath(path);
    if (path.empty() || path.front() == '\\' || path.find("\\\\") != std::string_view::npos)
        return false;
    return std::none_of(path.begin(), path.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// Sets (data non-empty) or deletes a value of key. Reports whether the key
// changed and whether a value to delete was there.
struct ValueChange {
    bool changed = false;
    bool found = false;
};

ValueChange ApplyValue(Key &key, std::string_view name, std::string_view data) {
    ValueChange result;
    auto matches = [&](const Item &item) { return item.isValue && SameName(item.name, name); };
    auto first = std::find_if(key.items.begin(), key.items.end(), matches);
    result.found = first != key.items.end();
    if (!data.empty()) {
        if (!result.found) {
            key.items.push_back(Item{true, std::string(name), std::string(data)});
            result.changed = true;
            return result;
        }
        result.changed = first->name != name || first->data != data;
        first->name = name;
        first->data = data;
        ++first;
    }
    auto rest = std::remove_if(first, key.items.end(), matches);
    result.changed = result.changed || rest != key.items.end();
    key.items.erase(rest, key.items.end());
    return result;
}

uint32_t ChangeValue(const char *component, const char *name, const char *data) {
    std::string keyPath;
    if (!BuildKeyPath(component, false, keyPath) || !CanCreate(keyPath)) return RDSTATUS_REGKEY;
    keyPath = NormalizePath(keyPath);
    std::string file = RegistryPath();
    if (file.empty()) return RDSTATUS_REGKEY;
    WriteLock lock(file);
    std::string text;
    if (!lock.Held() || LoadFile(file, text) == LoadResult::Failed) return RDSTATUS_REGKEY;

    Document doc = Parse(text);
    bool keyExisted = KeyExists(doc, keyPath);
    Key *key = FindKey(doc, keyPath);
    bool changed = key == nullptr;
    if (key == nullptr) key = &doc.keys.emplace_back(Key{keyPath, {}});
    bool deleting = data == nullptr || *data == '\0';
    ValueChange value = ApplyValue(*key, name != nullptr ? name : "", deleting ? "" : data);

    if ((changed || value.changed) && !ReplaceFile(file, Serialize(doc)))
        return keyExisted ? RDSTATUS_REGVALUE : RDSTATUS_REGKEY;
    return deleting && !value.found ? RDSTATUS_REGVALUE : RDSTATUS_OK;
}

uint32_t ReadValue(const char *component, const char *name, char *out, uint32_t size) {
    std::string keyPath;
    if (!BuildKeyPath(component, true, keyPath)) return RDSTATUS_REGKEY;
    std::string file = RegistryPath();
    std::string text;
    if (file.empty() || LoadFile(file, text) == LoadResult::Failed) return RDSTATUS_REGKEY;

    Document doc = Parse(text);
    std::string_view path = NormalizePath(keyPath);
    if (!KeyExists(doc, path)) return RDSTATUS_REGKEY;
    const Key *key = FindKey(doc, path);
    const Item *item = key != nullptr ? FindValue(*key, name != nullptr ? name : "") : nullptr;
    if (item == nullptr) return RDSTATUS_REGVALUE;
    if (out == nullptr) return RDSTATUS_OK;                  // only asked whether the value exists
    if (item->data.size() >= size) return RDSTATUS_REGVALUE; // no room for it and its NUL
    std::memcpy(out, item->data.c_str(), item->data.size() + 1);
    return RDSTATUS_OK;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDRegistrySetString(const char *component, const char *name, const char *data) {
    try {
        return ChangeValue(component, name, data);
    } catch (...) {
        return RDSTATUS_REGKEY;
    }
}

RD_EXPORT uint32_t RDRegistryGetString(const char *component, const char *name, char *out,
                                       uint32_t size) {
    if (out != nullptr && size > 0) out[0] = '\0';
    try {
        return ReadValue(component, name, out, size);
    } catch (...) {
        return RDSTATUS_REGKEY;
    }
}

RD_EXPORT uint32_t RDRegistryRemoveString(const char *component, const char *name) {
    return RDRegistrySetString(component, name, nullptr);
}

} // extern "C"
