/* SPDX-License-Identifier: Apache-2.0 */
/* Field values: typed access with conversion, copies, bulk conversion and
 * comparison of the values of fields (see rdx_field.h). Value positions
 * count from 1; the null-flag outputs receive 1 for a null value, else 0. */
#ifndef RDX_FIELDVALUE_H
#define RDX_FIELDVALUE_H

#include "rdexport.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_numeric.h"
#include "rdx_stream.h"
#include <stdint.h>

/* Options of RDFieldCompare. */
#define RDCOMPARE_DATEPARTS 0x1u    /* differing datetimes compared by calendar parts */
#define RDCOMPARE_NOHUNDREDTHS 0x2u /* as RDCOMPARE_DATEPARTS, hundredths left out */
#define RDCOMPARE_APPROX 0x4u       /* floats of one sign equal to 9 significant digits */

RD_BEGIN_DECLS

/* Getters: the value index as the requested type, converted when the field
 * is of another type; a null value clears the output. Both outputs are
 * optional. RDFieldGetStream takes charset 0 as the value's own set for a
 * stream field, the default set for others; a non-text kind gives a
 * binary stream. 12320, 12809, 12297, 12291, or a conversion status. */
RD_EXPORT uint32_t RDFieldGetInt(uint32_t handle, uint32_t index, int32_t *value, uint32_t *isNull);
RD_EXPORT uint32_t RDFieldGetFloat(uint32_t handle, uint32_t index, double *value,
                                   uint32_t *isNull);
RD_EXPORT uint32_t RDFieldGetCurrency(uint32_t handle, uint32_t index, RDCurrency *value,
                                      uint32_t *isNull);
RD_EXPORT uint32_t RDFieldGetNumeric(uint32_t handle, uint32_t index, RDNumeric *value,
                                     uint32_t *isNull);
RD_EXPORT uint32_t RDFieldGetDatetime(uint32_t handle, uint32_t index, RDDatetime *value,
                                      uint32_t *isNull);
RD_EXPORT uint32_t RDFieldGetStream(uint32_t handle, uint32_t index, uint32_t charset,
                                    RDStream *stream, uint32_t *isNull);

/* Setters: the value is converted to the field's type and stored; only then
 * does it stop being null. A null value pointer gives 12803 (Int) to 12808
 * (stream). A stream field keeps its maximum length and flags. */
RD_EXPORT uint32_t RDFieldSetInt(uint32_t handle, uint32_t index, const int32_t *value);
RD_EXPORT uint32_t RDFieldSetFloat(uint32_t handle, uint32_t index, const double *value);
RD_EXPORT uint32_t RDFieldSetCurrency(uint32_t handle, uint32_t index, const RDCurrency *value);
RD_EXPORT uint32_t RDFieldSetNumeric(uint32_t handle, uint32_t index, const RDNumeric *value);
RD_EXPORT uint32_t RDFieldSetDatetime(uint32_t handle, uint32_t index, const RDDatetime *value);
RD_EXPORT uint32_t RDFieldSetStream(uint32_t handle, uint32_t index, const RDStream *stream);
/* As RDFieldSetStream given a stream of count bytes in charset (a text set
 * or a non-text kind), without building one. bytes may be null when count
 * is 0. 12808 for null bytes of a nonzero count, 12300 for charset 0. */
RD_EXPORT uint32_t RDFieldSetBytes(uint32_t handle, uint32_t index, uint32_t charset,
                                   const void *bytes, uint32_t count);

/* A new free-standing field equal to source: 0, 258, 12302, 12809. */
RD_EXPORT uint32_t RDFieldCopy(uint32_t *handle, uint32_t source);
/* Converts up to count values from source (from sIndex) into destination
 * (from dIndex); null values stay null. Stops at the first failure, the
 * values before it converted. */
RD_EXPORT uint32_t RDFieldConvert(uint32_t destination, uint32_t dIndex, uint32_t source,
                                  uint32_t sIndex, uint32_t count);
/* Compares up to count value pairs: result -1, 0 or 1 for first before,
 * equal to or after second. Null values order after every value; of equal
 * runs, the one that reaches its field's last value first orders first. */
RD_EXPORT uint32_t RDFieldCompare(uint32_t first, uint32_t firstIndex, uint32_t second,
                                  uint32_t secondIndex, uint32_t count, uint32_t options,
                                  int32_t *result);

RD_END_DECLS

#endif
