// SPDX-License-Identifier: Apache-2.0
// Writing the store as a job file that defines it again exactly: each item
// under the first key and value form that reads back as the same bytes, in
// the stored order.
#include "jobfile.h"

#include "jobfile_text.h"
#include "jobfile_value.h"
#include "names.h"
#include "secret_mask.h"
#include "visible_text.h"

#include <cstdio>
#include <set>

namespace rdcsm {

namespace {

struct Section {
    const char *key;
    ObjectKind kind;
};
constexpr Section kSections[] = {{"activity", kActivity}, {"link", kLink}};

std::string NumberText(uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", number);
    return text;
}

bool SameItem(const Item &a, const Item &b) {
    return a.type == b.type && a.charset == b.charset && a.number == b.number && a.value == b.value;
}

// Whether the line "key = value" reads back, with the object's
// declarations, as the item.
bool ReadsBack(const std::string &line, const std::vector<NamedProperty> &declared,
               const Item &item) {
    toml::table table;
    try {
        table = toml::parse(line);
    } catch (const toml::parse_error &) {
        return false;
    }
    if (table.size() != 1) return false;
    for (const auto &[key, value] : table) {
        const auto property = PropertyOfKey(key.str(), declared);
        Item read;
        std::string fault;
        return property && property->number == item.number &&
               ItemOfValue(value, property->number, property->type, read, fault) &&
               SameItem(read, item);
    }
    return false;
}

struct Line {
    std::string key, value;
};

// The item's key and value: its name before its number, its natural value
// before its bytes, the first pair that reads back as the item.
std::optional<Line> LineOf(const Item &item, const std::vector<NamedProperty> &declared) {
    std::vector<std::string> keys;
    const std::string name = PropertyName(item, declared);
    if (!name.empty() && rdxc::IsWellFormedUtf8(name)) keys.push_back(TomlKey(name));
    keys.push_back(NumberText(item.number));
    const std::string values[] = {NaturalText(item), RawText(item)};
    for (const std::string &key : keys)
        for (const std::string &value : values)
            if (ReadsBack(key + " = " + value + "\n", declared, item)) return Line{key, value};
    return std::nullopt;
}

// The declarations that define will use: those of the connector when its
// item is written as a plain text under "connector".
std::vector<NamedProperty> DeclarationsAsRead(const std::vector<Item> &items) {
    for (const Item &item : items) {
        if (item.number != kConnectorNumber) continue;
        auto line = LineOf(item, {});
        if (line && line->key == kConnectorKey && !line->value.starts_with("{"))
            return ConnectorDeclarations(items);
    }
    return {};
}

// The placeholder of a value that holds a password, when it is withheld.
std::optional<std::string> Withheld(const Item &item, const std::vector<NamedProperty> &declared) {
    const bool text = item.type == 6 || item.type == 7;
    const std::string_view value =
        text ? std::string_view(item.value).substr(0, item.value.size() - 1) : item.value;
    if (text && value.empty()) return std::nullopt; // nothing to hide
    if (IsSecretProperty(item, declared)) return WithheldText(std::string(rdxc::kMaskedSecret));
    if (!text) return std::nullopt;
    const std::string masked = rdxc::MaskSecrets(value);
    if (masked == value) return std::nullopt;
    return WithheldText(masked);
}

bool WriteObject(const Section &section, const std::string &name, const std::string &description,
                 const ExportOptions &options, std::string &out, std::string &error) {
    const std::string what = std::string(section.key) + " " + rdxc::VisibleText(name);
    if (name.empty() || name.size() > 511 || name.find('\0') != std::string::npos ||
        !rdxc::IsWellFormedUtf8(name)) {
        error = "the " + what + " has a name that a job file cannot hold";
        return false;
    }
    std::vector<Item> items;
    if (!ParseItems({reinterpret_cast<const uint8_t *>(description.data()), description.size()}, 0,
                    items, false)) {
        error = "the stored description of the " + what + " is damaged";
        return false;
    }
    const std::vector<NamedProperty> declared = DeclarationsAsRead(items);
    std::set<uint32_t> numbers;
    out += "\n[" + std::string(section.key) + "." + TomlKey(name) + "]\n";
    for (const Item &item : items) {
        if (item.number == 0 || !numbers.insert(item.number).second) {
            error = "the " + what + " holds property " + NumberText(item.number) +
                    (item.number == 0 ? ", which" : " twice, which") + " a job file cannot hold";
            return false;
        }
        auto line = LineOf(item, declared);
        if (!line) {
            error = "property " + NumberText(item.number) + " of the " + what +
                    " does not read back from a job file";
            return false;
        }
        if (options.withholdSecrets)
            if (auto placeholder = Withheld(item, declared)) line->value = *placeholder;
        out += line->key + " = " + line->value + "\n";
    }
    return true;
}

} // namespace

bool ExportJobFile(Store &store, const ExportOptions &options, std::string &text,
                   std::string &error) {
    text = "# rdcsm job file: activities and links with their properties.\n";
    for (const Section &section : kSections) {
        Statement all(store.Db(),
                      "SELECT name, description FROM objects WHERE kind = ? ORDER BY name");
        all.Bind(1, int64_t{section.kind});
        while (all.Step())
            if (!WriteObject(section, all.Text(0), all.Blob(1), options, text, error)) return false;
    }
    return true;
}

} // namespace rdcsm
