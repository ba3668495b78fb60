// Reading a job file into objects and their items, defining them, and
// writing the store back as a job file.
#include "jobfile.h"

#include "jobfile_value.h"
#include "names.h"

#include <charconv>
#include <sstream>

namespace rdcsm {

namespace {

constexpr uint32_t kConnectorNumber = 0x30001;
constexpr std::string_view kConnectorKey = "connector";

struct Section {
    const char *key;
    ObjectKind kind;
};
constexpr Section kSections[] = {{"activity", kActivity}, {"link", kLink}};

std::string Where(const std::string &path, const toml::node &node) {
    return path + ":" + std::to_string(node.source().begin.line) + ": ";
}

// A number written as a key: decimal, or hex with 0x.
std::optional<uint32_t> NumberKey(std::string_view key) {
    int base = 10;
    if (key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X')) {
        key.remove_prefix(2);
        base = 16;
    }
    uint32_t number = 0;
    auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), number, base);
    if (ec != std::errc() || end != key.data() + key.size() || number == 0) return std::nullopt;
    return number;
}

// The number and declared type of a property key.
std::optional<NamedProperty> PropertyOf(std::string_view key,
                                        const std::vector<NamedProperty> &declared) {
    if (auto number = NumberKey(key)) return NamedProperty{*number, 0, std::string(key)};
    if (key == kConnectorKey) return NamedProperty{kConnectorNumber, 6, std::string(key)};
    for (const NamedProperty &property : declared)
        if (property.name == key) return property;
    if (auto number = BuiltInNumber(key)) return NamedProperty{*number, 0, std::string(key)};
    return std::nullopt;
}

bool ReadObject(const std::string &path, const Section &section, const std::string &name,
                const toml::node &node, JobObject &object, std::string &error) {
    const std::string prefix = std::string(section.key) + "." + name;
    const toml::table *table = node.as_table();
    if (table == nullptr) {
        error = Where(path, node) + "key '" + prefix + "': expected a table of properties";
        return false;
    }
    object = {section.kind, name, {}};
    std::vector<NamedProperty> declared;
    std::string hint = " (write it by its number, e.g. 0x00000005)";
    if (auto connector = (*table)[kConnectorKey].value<std::string>()) {
        if (auto found = DeclaredProperties(*connector))
            declared = std::move(*found);
        else
            hint = " (the connector " + *connector +
                   " that would declare it cannot be loaded from the home directory)";
    }
    for (const auto &[key, value] : *table) {
        const std::string where =
            Where(path, value) + "key '" + prefix + "." + std::string(key.str()) + "': ";
        auto property = PropertyOf(key.str(), declared);
        if (!property) {
            error = where + "unknown property" + hint;
            return false;
        }
        Item item;
        std::string fault;
        if (!ItemOfValue(value, property->number, property->type, item, fault)) {
            error = where + fault;
            return false;
        }
        for (const Item &other : object.items)
            if (other.number == item.number) {
                error = where + "the property is given twice";
                return false;
            }
        object.items.push_back(std::move(item));
    }
    return true;
}

} // namespace

bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects, std::string &error) {
    toml::table file;
    try {
        file = toml::parse_file(path);
    } catch (const toml::parse_error &failure) {
        error = path + ":" + std::to_string(failure.source().begin.line) + ": " +
                std::string(failure.description());
        return false;
    }
    for (const auto &[key, node] : file) {
        const Section *section = nullptr;
        for (const Section &s : kSections)
            if (key.str() == s.key) section = &s;
        if (section == nullptr || !node.is_table()) {
            error = Where(path, node) + "key '" + std::string(key.str()) +
                    "': expected [activity.NAME] or [link.NAME]";
            return false;
        }
        for (const auto &[name, object] : *node.as_table()) {
            if (name.str().empty() || name.str().size() > 511) {
                error = Where(path, object) + "key '" + std::string(key.str()) +
                        "': a name of 1 to 511 bytes is needed";
                return false;
            }
            JobObject read;
            if (!ReadObject(path, *section, std::string(name.str()), object, read, error))
                return false;
            objects.push_back(std::move(read));
        }
    }
    return true;
}

void DefineObjects(Store &store, const std::vector<JobObject> &objects) {
    Transaction transaction(store.Db());
    for (const JobObject &object : objects)
        store.DefineObject(object.kind, object.name, PackItems(object.items));
    transaction.Commit();
}

std::string ExportJobFile(Store &store) {
    toml::table file;
    for (const Section &section : kSections) {
        toml::table objects;
        Statement all(store.Db(),
                      "SELECT name, description FROM objects WHERE kind = ? ORDER BY name");
        all.Bind(1, int64_t{section.kind});
        while (all.Step()) {
            const std::string description = all.Blob(1);
            std::vector<Item> items;
            ParseItems({reinterpret_cast<const uint8_t *>(description.data()), description.size()},
                       0, items, false);
            std::vector<NamedProperty> declared;
            for (const Item &item : items)
                if (item.number == kConnectorNumber && item.type == 6 && item.value.size() > 1)
                    declared = DeclaredProperties(item.value.substr(0, item.value.size() - 1))
                                   .value_or(std::vector<NamedProperty>{});
            toml::table properties;
            for (const Item &item : items) {
                std::string key;
                const NamedProperty *named = nullptr;
                for (const NamedProperty &property : declared)
                    if (property.number == item.number &&
                        (property.type == 0 || property.type == item.type))
                        named = &property;
                if (item.number == kConnectorNumber && item.type == 6)
                    key = kConnectorKey;
                else if (named != nullptr && !NumberKey(named->name) &&
                         named->name != kConnectorKey)
                    key = named->name;
                else if (!BuiltInName(item.number).empty())
                    key = BuiltInName(item.number);
                else {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "0x%08X", item.number);
                    key = hex;
                }
                InsertValue(properties, key, item);
            }
            objects.insert(all.Text(0), std::move(properties));
        }
        if (!objects.empty()) file.insert(section.key, std::move(objects));
    }
    std::ostringstream out;
    out << "# rdcsm job file: activities and links with their properties.\n" << file << "\n";
    return out.str();
}

} // namespace rdcsm
