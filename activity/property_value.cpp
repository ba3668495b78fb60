// SPDX-License-Identifier: Apache-2.0
// Property values into fields, and environment-kind properties.
#include "activity/property_value.h"

#include "rdplat_env.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <cstdlib>

namespace rdx {

namespace {

// Bytes read of an environment variable's value.
constexpr uint32_t kEnvironmentValueSize = 1024;

// The property's name as a native text with its terminator.
class NativeName {
  public:
    explicit NativeName(const AddedProperty &property) {
        status_ = RDStreamDataConvert(&native_, &property.name, RDCONVERT_LITERAL,
                                      RDCHARSET_DEFAULT, nullptr, nullptr);
    }
    NativeName(const NativeName &) = delete;
    NativeName &operator=(const NativeName &) = delete;
    ~NativeName() { RDStreamDataFree(&native_); }
    uint32_t Status() const { return status_; }
    const char *Text() const { return reinterpret_cast<const char *>(native_.data); }

  private:
    RDStream native_{};
    uint32_t status_;
};

} // namespace

uint32_t StoreItemInField(uint32_t type, const void *value, uint32_t field) {
    if (value == nullptr) return RDFieldSetNull(field, 1, 1);
    switch (type) {
    case RDTYPE_INT:
        return RDFieldSetInt(field, 1, static_cast<const int32_t *>(value));
    case RDTYPE_FLOAT:
        return RDFieldSetFloat(field, 1, static_cast<const double *>(value));
    case RDTYPE_CURRENCY:
        return RDFieldSetCurrency(field, 1, static_cast<const RDCurrency *>(value));
    case RDTYPE_NUMERIC:
        return RDFieldSetNumeric(field, 1, static_cast<const RDNumeric *>(value));
    case RDTYPE_DATETIME:
        return RDFieldSetDatetime(field, 1, static_cast<const RDDatetime *>(value));
    case RDTYPE_TEXT:
    case RDTYPE_BINARY:
        return RDFieldSetStream(field, 1, static_cast<const RDStream *>(value));
    default:
        return RDSTATUS_BADTYPE;
    }
}

uint32_t PutEnvironmentProperty(const AddedProperty &property, uint32_t field) {
    RDStream text{};
    uint32_t isNull = 0;
    uint32_t status = RDFieldGetStream(field, 1, RDCHARSET_DEFAULT, &text, &isNull);
    const NativeName name(property);
    if (status == RDSTATUS_OK) status = name.Status();
    if (status == RDSTATUS_OK) {
        if (isNull != 0)
            status = unsetenv(name.Text()) == 0 ? RDSTATUS_OK : RDSTATUS_ENVREFUSED;
        else
            status = RDPlatPutEnv(name.Text(), reinterpret_cast<const char *>(text.data));
    }
    RDStreamDataFree(&text);
    return status;
}

uint32_t GetEnvironmentProperty(const AddedProperty &property, uint32_t field) {
    const NativeName name(property);
    if (name.Status() != RDSTATUS_OK) return name.Status();
    char value[kEnvironmentValueSize + 1];
    uint32_t length = kEnvironmentValueSize;
    if (RDPlatGetEnv(name.Text(), value, &length) != RDSTATUS_OK)
        return RDFieldSetNull(field, 1, 1);
    RDStream text{};
    uint32_t status = RDStreamDataSet(&text, RDCHARSET_DEFAULT, value, length);
    if (status == RDSTATUS_OK) status = RDFieldSetStream(field, 1, &text);
    RDStreamDataFree(&text);
    return status;
}

} // namespace rdx
