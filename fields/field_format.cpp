// SPDX-License-Identifier: Apache-2.0
// Format words by type: number (caller words, precision, scale), datetime
// (caller words) and stream (the creation triple of the stream values).
// Setting a format makes every value null.
#include "fields/field_internal.h"
#include "rdplat_mem.h"

using namespace rdx;

namespace {

bool IsNumberType(uint32_t type) {
    return type >= RDTYPE_INT && type <= RDTYPE_NUMERIC;
}

// The field of handle if it is of an accepted type: 0, 12320, 12809, 12546.
template <typename Accept> uint32_t FormatField(uint32_t handle, Accept accept, Field **field) {
    *field = nullptr;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *found = FindField(handle);
    if (found == nullptr) return RDSTATUS_NOFIELD;
    if (!accept(found->type)) return RDSTATUS_FORMATTYPE;
    *field = found;
    return RDSTATUS_OK;
}

void MakeAllNull(Field &field) {
    for (uint32_t i = 0; i < field.valueCount; ++i)
        field.nulls[i] = 1;
}

// Reports the words of a format getter, or 0 in every output on failure.
uint32_t ReportWords(uint32_t status, const Field *field, uint32_t *const *outputs,
                     const uint32_t *words, int count) {
    for (int i = 0; i < count; ++i) {
        if (outputs[i] != nullptr)
            *outputs[i] = status == RDSTATUS_OK ? field->format[words[i]] : 0;
    }
    return status;
}

// Stream values made aside in the new format: a block of valueCount
// records, each created. 0 or the creation status; nothing is kept on
// failure.
uint32_t MakeStreams(const Field &field, uint32_t flags, uint32_t maxLength, uint32_t charset,
                     uint8_t **values) {
    *values = static_cast<uint8_t *>(
        RDMemCalloc(static_cast<int32_t>(uint64_t{field.typeSize} * field.valueCount)));
    if (*values == nullptr) return RDSTATUS_NOMEMORY;
    auto *streams = reinterpret_cast<RDStream *>(*values);
    for (uint32_t i = 0; i < field.valueCount; ++i) {
        if (uint32_t status = RDStreamCreate(&streams[i], maxLength, flags, charset);
            status != RDSTATUS_OK) {
            for (uint32_t k = 0; k <= i; ++k)
                RDStreamDataFree(&streams[k]);
            RDMemFree(*values);
            *values = nullptr;
            return status;
        }
    }
    return RDSTATUS_OK;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldGetFormatNumber(uint32_t handle, uint32_t *word1,
                                                     uint32_t *word2, uint32_t *precision,
                                                     uint32_t *scale) {
    uint32_t *const outputs[] = {word1, word2, precision, scale};
    constexpr uint32_t kWords[] = {kFormatWord1, kFormatWord2, kFormatPrecision, kFormatScale};
    ReportWords(RDSTATUS_NOTREADY, nullptr, outputs, kWords, 4);
    Field *field = nullptr;
    const uint32_t status = FormatField(handle, IsNumberType, &field);
    return ReportWords(status, field, outputs, kWords, 4);
}

extern "C" RD_EXPORT uint32_t RDFieldSetFormatNumber(uint32_t handle, uint32_t word1,
                                                     uint32_t word2, uint32_t precision,
                                                     uint32_t scale) {
    Field *field = nullptr;
    if (uint32_t status = FormatField(handle, IsNumberType, &field); status != RDSTATUS_OK)
        return status;
    RDNumeric scratch;
    const int32_t signedScale = static_cast<int32_t>(scale);
    if (uint32_t status = RDNumericCreate(&scratch, precision, signedScale); status != RDSTATUS_OK)
        return status;
    field->format[kFormatWord1] = word1;
    field->format[kFormatWord2] = word2;
    field->format[kFormatPrecision] = precision;
    field->format[kFormatScale] = scale;
    MakeAllNull(*field);
    if (field->type == RDTYPE_NUMERIC) {
        for (uint32_t i = 1; i <= field->valueCount; ++i)
            RDNumericCreate(static_cast<RDNumeric *>(ValueAt(*field, i)), precision, signedScale);
    }
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldGetFormatDatetime(uint32_t handle, uint32_t *word1,
                                                       uint32_t *word2) {
    uint32_t *const outputs[] = {word1, word2};
    constexpr uint32_t kWords[] = {kFormatWord1, kFormatWord2};
    ReportWords(RDSTATUS_NOTREADY, nullptr, outputs, kWords, 2);
    Field *field = nullptr;
    const uint32_t status = FormatField(
        handle, [](uint32_t type) { return type == RDTYPE_DATETIME; }, &field);
    return ReportWords(status, field, outputs, kWords, 2);
}

extern "C" RD_EXPORT uint32_t RDFieldSetFormatDatetime(uint32_t handle, uint32_t word1,
                                                       uint32_t word2) {
    Field *field = nullptr;
    if (uint32_t status = FormatField(
            handle, [](uint32_t type) { return type == RDTYPE_DATETIME; }, &field);
        status != RDSTATUS_OK)
        return status;
    field->format[kFormatWord1] = word1;
    field->format[kFormatWord2] = word2;
    MakeAllNull(*field);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldGetFormatStream(uint32_t handle, uint32_t *flags,
                                                     uint32_t *maxLength, uint32_t *charset) {
    uint32_t *const outputs[] = {flags, maxLength, charset};
    constexpr uint32_t kWords[] = {kFormatStreamFlags, kFormatMaxLength, kFormatCharset};
    ReportWords(RDSTATUS_NOTREADY, nullptr, outputs, kWords, 3);
    Field *field = nullptr;
    const uint32_t status = FormatField(handle, IsStreamType, &field);
    return ReportWords(status, field, outputs, kWords, 3);
}

// Every value is re-created in the new format, aside: a failure leaves the
// field's format and values as they were.
extern "C" RD_EXPORT uint32_t RDFieldSetFormatStream(uint32_t handle, uint32_t flags,
                                                     uint32_t maxLength, uint32_t charset) {
    Field *field = nullptr;
    if (uint32_t status = FormatField(handle, IsStreamType, &field); status != RDSTATUS_OK)
        return status;
    const uint32_t creationFlags =
        (field->flags & RDFIELD_TRUNCATE) != 0 ? flags | RDSTREAM_TRUNCATE : flags;
    uint8_t *values = nullptr;
    if (uint32_t status = MakeStreams(*field, creationFlags, maxLength, charset, &values);
        status != RDSTATUS_OK)
        return status;
    uint32_t *const nulls = field->nulls;
    field->nulls = nullptr; // kept: only the values are replaced
    FieldFreeValues(*field);
    field->values = values;
    field->nulls = nulls;
    field->format[kFormatStreamFlags] = flags;
    field->format[kFormatMaxLength] = maxLength;
    field->format[kFormatCharset] = charset;
    MakeAllNull(*field);
    return RDSTATUS_OK;
}
