/* SPDX-License-Identifier: Apache-2.0 */
/* String values of the system's registry key "Software\Orvale\Components\"
 * + component. The registry is one file: $RD_REGISTRY, or
 * $HOME/.config/rdx/registry. */
#ifndef RDPLAT_REGISTRY_H
#define RDPLAT_REGISTRY_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* Sets value name of the component's key to data; null or empty data
 * deletes the value. Returns 0, 538 (key), 539 (value). */
RD_EXPORT uint32_t RDRegistrySetString(const char *component, const char *name,
                                       const char *data);

/* Reads value name into out (size bytes). A component beginning with '\' is
 * the whole key path. Returns 0, 538 (no key), 539 (no value, or it does
 * not fit; out is then empty). A null out only asks whether the value
 * exists. */
RD_EXPORT uint32_t RDRegistryGetString(const char *component, const char *name, char *out,
                                       uint32_t size);

/* RDRegistrySetString with null data. */
RD_EXPORT uint32_t RDRegistryRemoveString(const char *component, const char *name);

RD_END_DECLS

#endif
