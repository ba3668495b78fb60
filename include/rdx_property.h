/* SPDX-License-Identifier: Apache-2.0 */
/* Property sets: the values of an activity's or a link's properties by
 * number, as the activity functions and the server-manager client exchange
 * them. The layout is the library's own. */
#ifndef RDX_PROPERTY_H
#define RDX_PROPERTY_H

typedef struct PropertySet PropertySet;

#endif
