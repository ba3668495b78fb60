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

#endif
