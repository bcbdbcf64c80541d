/* Heap and miscellaneous services. */
#ifndef ZMSC_H
#define ZMSC_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A heap block of size bytes (not cleared), or null. Free with zmsc_HeapFree. */
void *zmsc_HeapMalloc(size_t size);
/* Frees a block from zmsc_HeapMalloc or any toolkit string; null is accepted. */
void zmsc_HeapFree(void *block);
/* The host's method table for GCP markers, passed through to zdis_SelNewCreate. */
void *zmsc_AddressOf_vselGCPMethods(void);

#ifdef __cplusplus
}
#endif

#endif
