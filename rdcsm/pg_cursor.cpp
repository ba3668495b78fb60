// SPDX-License-Identifier: Apache-2.0
#include "pg_cursor.h"

#include "pg_db.h"
#include "pg_placeholders.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace rdcsm {

namespace {

// Type identifiers of the server's built-in types.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23;

constexpr int kBinary = 1, kTextFormat = 0;

bool IsInteger(Oid type) {
    return type == kInt8 || type == kInt4 || type == kInt2;
}

std::string BigEndian(int64_t value, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    const auto bits = static_cast<uint64_t>(value);
    for (int i = 0; i < bytes; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (8 * (bytes - 1 - i)));
    return out;
}

int64_t FromBigEndian(std::string_view bytes) {
    uint64_t bits = 0;
    for (char c : bytes)
        bits = bits << 8 | static_cast<uint8_t>(c);
    // Sign-extended from the width received.
    const int shift = 64 - 8 * static_cast<int>(bytes.size());
    return shift >= 64 ? 0 : static_cast<int64_t>(bits << shift) >> shift;
}

// value in the width of an integer type; throws when it does not fit.
std::string Sized(int64_t value, Oid type) {
    const int bytes = type == kInt8 ? 8 : type == kInt4 ? 4 : 2;
    const int64_t high =
        bytes == 8 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << (8 * bytes - 1)) - 1;
    if (value > high || value < -high - 1)
        throw DbError{1, "the value " + std::to_string(value) + " does not fit its column"};
    return BigEndian(value, bytes);
}

} // namespace

PgCursor::PgCursor(PgBackend &db, const char *sql, std::string name)
    : db_(db), sql_(DollarPlaceholders(sql)), name_(std::move(name)) {}

PgCursor::~PgCursor() {
    PQclear(result_);
}

void PgCursor::PrepareIn(PGconn *conn, uint64_t generation) {
    if (generation_ == generation) return;
    PGresult *prepared = PQprepare(conn, name_.c_str(), sql_.c_str(), 0, nullptr);
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) db_.Fail(prepared, false);
    PQclear(prepared);
    PGresult *described = PQdescribePrepared(conn, name_.c_str());
    if (PQresultStatus(described) != PGRES_COMMAND_OK) db_.Fail(described, false);
    types_.assign(static_cast<std::size_t>(PQnparams(described)), 0);
    for (std::size_t i = 0; i < types_.size(); ++i)
        types_[i] = PQparamtype(described, static_cast<int>(i));
    PQclear(described);
    generation_ = generation;
}

PgCursor::Parameter &PgCursor::At(int index) {
    if (index < 1 || static_cast<std::size_t>(index) > types_.size())
        throw DbError{1, "no parameter " + std::to_string(index) + " in " + sql_};
    if (parameters_.size() < types_.size()) parameters_.resize(types_.size());
    return parameters_[static_cast<std::size_t>(index - 1)];
}

void PgCursor::Bind(int index, int64_t value) {
    Parameter &parameter = At(index);
    parameter.kind = Parameter::kInt;
    parameter.number = value;
}

void PgCursor::BindText(int index, std::string_view text) {
    Parameter &parameter = At(index);
    parameter.kind = Parameter::kBytes;
    parameter.bytes.assign(text);
}

void PgCursor::BindBlob(int index, std::span<const uint8_t> bytes) {
    Parameter &parameter = At(index);
    parameter.kind = Parameter::kBytes;
    parameter.bytes.assign(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

void PgCursor::Execute() {
    const std::size_t count = types_.size();
    parameters_.resize(count);
    std::vector<std::string> encoded(count);
    std::vector<const char *> values(count, nullptr);
    std::vector<int> lengths(count, 0), formats(count, kBinary);
    for (std::size_t i = 0; i < count; ++i) {
        const Parameter &parameter = parameters_[i];
        if (parameter.kind == Parameter::kNull) continue;
        const Oid type = types_[i];
        if (parameter.kind == Parameter::kInt) {
            if (IsInteger(type))
                encoded[i] = Sized(parameter.number, type);
            else if (type == kBool)
                encoded[i] = std::string(1, parameter.number != 0 ? '\1' : '\0');
            else
                encoded[i] = std::to_string(parameter.number), formats[i] = kTextFormat;
        } else {
            encoded[i] = parameter.bytes;
            // A number given as text is parsed by the server.
            if (IsInteger(type) || type == kBool) formats[i] = kTextFormat;
        }
        values[i] = encoded[i].c_str();
        lengths[i] = static_cast<int>(encoded[i].size());
    }
    PGresult *result = PQexecPrepared(db_.Connection(), name_.c_str(), static_cast<int>(count),
                                      values.data(), lengths.data(), formats.data(), kBinary);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        db_.Fail(result, sql_.compare(0, 7, "SELECT ") != 0);
    result_ = result;
    shown_.assign(static_cast<std::size_t>(PQnfields(result_)), {});
}

bool PgCursor::Step() {
    if (result_ == nullptr) Execute();
    if (row_ + 1 >= PQntuples(result_)) {
        row_ = PQntuples(result_);
        return false;
    }
    ++row_;
    return true;
}

void PgCursor::Reset() {
    PQclear(result_);
    result_ = nullptr;
    row_ = -1;
    parameters_.clear();
}

bool PgCursor::IsNull(int column) const {
    if (result_ == nullptr || row_ < 0 || row_ >= PQntuples(result_) || column < 0 ||
        column >= PQnfields(result_))
        return true;
    return PQgetisnull(result_, row_, column) != 0;
}

std::string_view PgCursor::Raw(int column) const {
    if (IsNull(column)) return {};
    const int length = PQgetlength(result_, row_, column);
    return {PQgetvalue(result_, row_, column), static_cast<std::size_t>(std::max(length, 0))};
}

int64_t PgCursor::Int(int column) const {
    const std::string_view raw = Raw(column);
    if (raw.empty()) return 0;
    const Oid type = PQftype(result_, column);
    if (type == kInt8 || type == kInt4 || type == kInt2 || type == kBool)
        return raw.size() <= 8 ? (type == kBool ? raw[0] != 0 : FromBigEndian(raw)) : 0;
    int64_t value = 0;
    std::from_chars(raw.data(), raw.data() + raw.size(), value);
    return value;
}

std::string_view PgCursor::View(int column, bool) const {
    const std::string_view raw = Raw(column);
    if (raw.empty()) return raw;
    const Oid type = PQftype(result_, column);
    if (!IsInteger(type) && type != kBool) return raw;
    std::string &shown = shown_[static_cast<std::size_t>(column)];
    shown = std::to_string(Int(column));
    return shown;
}

} // namespace rdcsm
