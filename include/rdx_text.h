/* SPDX-License-Identifier: Apache-2.0 */
/* Text forms of integers, floats and datetimes, and the readers of integer
 * and float texts. Separators and clock come from the international formats
 * of the platform. */
#ifndef RDX_TEXT_H
#define RDX_TEXT_H

#include "rdexport.h"
#include "rdx_datetime.h"
#include "rdx_stream.h"
#include <stdint.h>

RD_BEGIN_DECLS

RD_EXPORT uint32_t RDStreamFromInt(RDStream *stream, const int32_t *value, uint32_t charset);
RD_EXPORT uint32_t RDStreamFromFloat(RDStream *stream, const double *value, uint32_t charset);
RD_EXPORT uint32_t RDStreamFromDatetime(RDStream *stream, const RDDatetime *datetime,
                                        uint32_t charset);
RD_EXPORT uint32_t RDIntFromStream(int32_t *value, const RDStream *stream);
RD_EXPORT uint32_t RDFloatFromStream(double *value, const RDStream *stream);

RD_END_DECLS

#endif
