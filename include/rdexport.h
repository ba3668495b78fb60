/* SPDX-License-Identifier: Apache-2.0 */
/* Symbol export for the public C interface of every library of the system. */
#ifndef RDEXPORT_H
#define RDEXPORT_H

#if defined(__GNUC__)
#define RD_EXPORT __attribute__((visibility("default")))
#else
#define RD_EXPORT
#endif

#ifdef __cplusplus
#define RD_BEGIN_DECLS extern "C" {
#define RD_END_DECLS }
#else
#define RD_BEGIN_DECLS
#define RD_END_DECLS
#endif

#endif
