/* Status numbers returned by rdxapi (besides those of rdplat_status.h). */
#ifndef RDX_STATUS_H
#define RDX_STATUS_H

#include "rdplat_status.h"

#define RDSTATUS_NOTRANSLATION 1549u /* standard translation tables not loaded */
#define RDSTATUS_BEYONDEND 12291u    /* position beyond the last value or slot */
#define RDSTATUS_BADKINDS 12293u     /* conversion between these kinds unsupported */
#define RDSTATUS_INDEXZERO 12297u    /* value or slot position 0 */
#define RDSTATUS_NOCOUNT 12298u      /* field with no values */
#define RDSTATUS_BADPOSITION 12299u  /* position 0 */
#define RDSTATUS_BADCHARSET 12300u   /* character-set code 0 */
#define RDSTATUS_FIXEDNOMAX 12303u   /* RDSTREAM_FIXED without a maximum length */
#define RDSTATUS_NOTABLE 12305u      /* translation table or translation refused */
#define RDSTATUS_NONAME 12306u       /* null name stream */
#define RDSTATUS_NOLIST 12307u       /* unknown field-list handle */
#define RDSTATUS_SHAREDLIST 12311u   /* layout change on a list whose fields are shared */
#define RDSTATUS_NOLISTING 12314u    /* listing without set-up */
#define RDSTATUS_NAMESONLY 12315u    /* merge of a data list without fields */
#define RDSTATUS_NOTREADY 12320u     /* system context not set up */
#define RDSTATUS_FORMATTYPE 12546u   /* format of another field type */
#define RDSTATUS_MERGECOUNT 12548u   /* merge: field counts do not match */
#define RDSTATUS_MERGENAME 12552u    /* merge: a field without its named partner */
#define RDSTATUS_BADPROPERTY 12555u  /* invalid or unknown property number */
#define RDSTATUS_NOSTREAM 12808u     /* null stream record */
#define RDSTATUS_NOFIELD 12809u      /* unknown field handle, or no field of that name */
#define RDSTATUS_BADTYPE 12810u      /* field type code 0 or above 7 */
#define RDSTATUS_NOARGUMENT 779u     /* required argument of a server-manager request missing */
#define RDSTATUS_NOPIPE 782u         /* server manager's pipe cannot be opened or did not appear */
#define RDSTATUS_EXCHANGE 783u       /* server-manager exchange failed or answer incomplete */
#define RDSTATUS_SHAREDSERVER 825u   /* private server manager requested but one already runs */

#endif
