// SPDX-License-Identifier: Apache-2.0
// Conversions between TOML values and description items. Values that have
// no natural TOML form (Numeric, binary, texts of another character set or
// not well-formed UTF-8, date-times of a zone) travel as their bytes in hex.
#include "jobfile_value.h"

#include "civil_days.h"

#include "clock.h"
#include "csmgr/message.h"
#include "jobfile_text.h"
#include "rdx_stream.h"
#include "visible_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace rdcsm {

namespace {

using rdx::csmgr::GetU32;

std::string Word(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Hex(const std::string &bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

bool FromHex(std::string_view hex, std::string &bytes) {
    if (hex.size() % 2 != 0) return false;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = digit(hex[i]), low = digit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool ParseCurrency(std::string_view text, int64_t &count);

constexpr int64_t kJulianOf1970 = 2440588;
constexpr std::string_view kWithheld = "withheld";
constexpr uint32_t kAbsent = 0xFFFFFFFFu;

std::string DatetimeBytes(uint32_t ticks, uint32_t date) {
    return Word(ticks) + Word(date);
}

bool DatetimeOf(const toml::node &value, std::string &bytes) {
    if (auto date = value.as_date()) {
        const toml::date d = date->get();
        bytes = DatetimeBytes(
            kAbsent, static_cast<uint32_t>(DaysFromCivil(d.year, d.month, d.day) + kJulianOf1970));
        return true;
    }
    if (auto time = value.as_time()) {
        const toml::time t = time->get();
        bytes = DatetimeBytes(t.hour * 360000u + t.minute * 6000u + t.second * 100u +
                                  t.nanosecond / 10000000u,
                              kAbsent);
        return true;
    }
    auto dateTime = value.as_date_time();
    if (!dateTime) return false;
    const toml::date_time dt = dateTime->get();
    int64_t ms = DaysFromCivil(dt.date.year, dt.date.month, dt.date.day) * 86400000 +
                 (dt.time.hour * 3600 + dt.time.minute * 60 + dt.time.second) * 1000LL +
                 dt.time.nanosecond / 1000000;
    if (dt.offset) ms -= dt.offset->minutes * 60000LL;
    const WireDatetime wire = DatetimeOfMs(ms);
    bytes = DatetimeBytes(wire.ticks, wire.date);
    return true;
}

// The typed forms of an inline table: currency, rich text, or raw bytes.
bool ItemOfTable(const toml::table &table, Item &item, std::string &error) {
    if (auto currency = table["currency"].value<std::string>()) {
        int64_t count = 0;
        if (!ParseCurrency(*currency, count)) {
            error = "the currency amount '" + *currency +
                    "' is not a decimal number of at most 4 decimals from "
                    "-922337203685477.5808 to 922337203685477.5807";
            return false;
        }
        item.type = 3;
        item.value = Word(static_cast<uint32_t>(count)) +
                     Word(static_cast<uint32_t>(static_cast<uint64_t>(count) >> 32));
        return true;
    }
    if (table.contains(kWithheld)) {
        error = "the value was left out by 'rdcsm export --no-secrets' because it holds a "
                "password: write the value in place of the { withheld = ... } table";
        return false;
    }
    if (auto rich = table["richtext"].value<std::string>()) {
        item.type = 7;
        item.charset = RDKIND_RICHTEXT;
        item.value = *rich + '\0';
        return true;
    }
    auto type = table["type"].value<int64_t>();
    auto hex = table["hex"].value<std::string>();
    if (!type || !hex) {
        error = "an inline table needs 'currency', 'richtext', or 'type' and 'hex'";
        return false;
    }
    item.type = static_cast<uint32_t>(*type);
    item.charset = static_cast<uint32_t>(table["charset"].value<int64_t>().value_or(0));
    if (*type < 1 || *type > 7 || !FromHex(*hex, item.value)) {
        error = "the type must be 1-7 and hex an even number of hex digits";
        return false;
    }
    const uint32_t size = ScalarSize(item.type);
    const bool text = item.type == 6 || item.type == 7;
    if ((text && (item.value.empty() || item.value.back() != '\0')) ||
        (!text && item.value.size() != size)) {
        error = "the bytes do not fit type " + std::to_string(item.type);
        return false;
    }
    return true;
}

// The text of an item of that type and character set that a TOML string
// holds: well-formed UTF-8 with its one NUL at its end.
std::optional<std::string_view> PlainText(const Item &item, uint32_t type, uint32_t charset) {
    const std::string &v = item.value;
    if (item.type != type || item.charset != charset || v.empty() || v.find('\0') + 1 != v.size())
        return std::nullopt;
    const std::string_view text(v.data(), v.size() - 1);
    if (!rdxc::IsWellFormedUtf8(text)) return std::nullopt;
    return text;
}

const char *TypeName(uint32_t type) {
    static constexpr const char *kNames[] = {"?",       "Int",      "Float", "Currency",
                                             "Numeric", "Datetime", "text",  "binary"};
    return type < 8 ? kNames[type] : "?";
}

// A currency amount written as decimal text with at most four fraction
// digits, as its count of ten-thousandths: any count of 64 bits.
bool ParseCurrency(std::string_view text, int64_t &count) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+')) text.remove_prefix(1);
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    if ((whole.empty() && fraction.empty()) || fraction.size() > 4) return false;
    const uint64_t limit = (uint64_t{1} << 63) - (negative ? 0 : 1);
    uint64_t magnitude = 0;
    auto append = [&](char c) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        return true;
    };
    for (char c : whole)
        if (!append(c)) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (!append(i < fraction.size() ? fraction[i] : '0')) return false;
    count = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

std::string CurrencyText(int64_t count) {
    const uint64_t magnitude = count < 0 ? 0 - static_cast<uint64_t>(count) : count;
    char text[32];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", count < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return text;
}

} // namespace

bool ItemOfValue(const toml::node &value, uint32_t number, uint32_t type, Item &item,
                 std::string &error) {
    item = Item{};
    item.number = number;
    if (auto integer = value.as_integer()) {
        const int64_t v = integer->get();
        if (v < INT32_MIN || v > INT32_MAX) {
            error = "the integer " + std::to_string(v) + " does not fit 32 bits";
            return false;
        }
        item.type = 1;
        item.value = Word(static_cast<uint32_t>(v));
    } else if (auto boolean = value.as_boolean()) {
        item.type = 1;
        item.value = Word(boolean->get() ? 1 : 0);
    } else if (auto real = value.as_floating_point()) {
        const double v = real->get();
        item.type = 2;
        item.value.assign(reinterpret_cast<const char *>(&v), 8);
    } else if (auto text = value.as_string()) {
        item.type = 6;
        item.charset = RDCHARSET_INTERCHANGE;
        item.value = text->get() + '\0';
        if (item.value.find('\0') + 1 != item.value.size()) {
            error = "a text may not hold a NUL";
            return false;
        }
    } else if (value.is_date() || value.is_time() || value.is_date_time()) {
        item.type = 5;
        DatetimeOf(value, item.value);
    } else if (auto table = value.as_table()) {
        if (!ItemOfTable(*table, item, error)) return false;
    } else {
        error = "an array is not a property value";
        return false;
    }
    if (type != 0 && type != item.type) {
        error = std::string("the property is of type ") + TypeName(type) + ", not " +
                TypeName(item.type);
        return false;
    }
    return true;
}

void InsertValue(toml::table &table, const std::string &key, const Item &item) {
    const std::string &v = item.value;
    switch (item.type) {
    case 1:
        if (v.size() == 4) {
            table.insert(key, static_cast<int64_t>(static_cast<int32_t>(
                                  GetU32({reinterpret_cast<const uint8_t *>(v.data()), 4}, 0))));
            return;
        }
        break;
    case 2:
        if (v.size() == 8) {
            double real;
            std::memcpy(&real, v.data(), 8);
            if (std::isfinite(real)) {
                table.insert(key, real);
                return;
            }
        }
        break;
    case 3:
        if (v.size() == 8) {
            const uint64_t low = GetU32({reinterpret_cast<const uint8_t *>(v.data()), 8}, 0);
            const uint64_t high = GetU32({reinterpret_cast<const uint8_t *>(v.data()), 8}, 4);
            toml::table currency;
            currency.insert("currency", CurrencyText(static_cast<int64_t>(high << 32 | low)));
            currency.is_inline(true);
            table.insert(key, std::move(currency));
            return;
        }
        break;
    case 5:
        if (v.size() == 8) {
            const uint32_t ticks = GetU32({reinterpret_cast<const uint8_t *>(v.data()), 8}, 0);
            const uint32_t date = GetU32({reinterpret_cast<const uint8_t *>(v.data()), 8}, 4);
            if ((date >> 24) != 0 && date != kAbsent) break; // a zone byte: kept as bytes
            toml::time time;
            if (ticks != kAbsent) {
                if (ticks >= 8640000) break;
                time = toml::time(
                    static_cast<uint8_t>(ticks / 360000), static_cast<uint8_t>(ticks / 6000 % 60),
                    static_cast<uint8_t>(ticks / 100 % 60), (ticks % 100) * 10000000u);
            }
            if (date == kAbsent) {
                if (ticks == kAbsent) break;
                table.insert(key, time);
                return;
            }
            int64_t y;
            unsigned m, d;
            CivilFromDays(static_cast<int64_t>(date) - kJulianOf1970, y, m, d);
            if (y < 0 || y > 9999) break;
            toml::date day(static_cast<uint16_t>(y), static_cast<uint8_t>(m),
                           static_cast<uint8_t>(d));
            if (ticks == kAbsent) {
                table.insert(key, day);
            } else {
                table.insert(key, toml::date_time(day, time, toml::time_offset{}));
            }
            return;
        }
        break;
    case 6:
        if (auto text = PlainText(item, 6, RDCHARSET_INTERCHANGE)) {
            table.insert(key, std::string(*text));
            return;
        }
        break;
    case 7:
        if (auto text = PlainText(item, 7, RDKIND_RICHTEXT); text && !text->empty()) {
            toml::table rich;
            rich.insert("richtext", std::string(*text));
            rich.is_inline(true);
            table.insert(key, std::move(rich));
            return;
        }
        break;
    default:
        break;
    }
    InsertRaw(table, key, item);
}

void InsertRaw(toml::table &table, const std::string &key, const Item &item) {
    toml::table raw;
    raw.insert("type", static_cast<int64_t>(item.type));
    raw.insert("charset", static_cast<int64_t>(item.charset));
    raw.insert("hex", Hex(item.value));
    raw.is_inline(true);
    table.insert(key, std::move(raw));
}

namespace {

// The TOML text of the value that insert puts into a table.
template <typename Insert> std::string ValueText(Insert insert) {
    toml::table one;
    insert(one);
    std::ostringstream out;
    out << one;
    std::string text = out.str();
    if (text.rfind("v = ", 0) == 0) text.erase(0, 4);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace

std::string NaturalText(const Item &item) {
    if (auto text = PlainText(item, 6, RDCHARSET_INTERCHANGE)) return TomlString(*text);
    if (auto text = PlainText(item, 7, RDKIND_RICHTEXT); text && !text->empty())
        return "{ richtext = " + TomlString(*text) + " }";
    if (item.type == 2 && item.value.size() == 8) {
        double real;
        std::memcpy(&real, item.value.data(), 8);
        if (std::isfinite(real)) return TomlFloat(real);
    }
    return ValueText([&](toml::table &one) { InsertValue(one, "v", item); });
}

std::string RawText(const Item &item) {
    return ValueText([&](toml::table &one) { InsertRaw(one, "v", item); });
}

std::string WithheldText(const std::string &masked) {
    return ValueText([&](toml::table &one) {
        toml::table withheld;
        withheld.insert(kWithheld, rdxc::VisibleText(masked));
        withheld.is_inline(true);
        one.insert("v", std::move(withheld));
    });
}

} // namespace rdcsm
