/* Lists that store elements by value in one contiguous block. Count, address
 * and append are O(1); insert and delete move the later elements. */
#ifndef ZDLM_H
#define ZDLM_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An empty list of elements of elementSize bytes; growthStep is a capacity hint. */
Zdlm_List *zdlm_InitList(size_t elementSize, int32_t growthStep, Zerr_Report **err);
int32_t zdlm_CountList(const Zdlm_List *list, Zerr_Report **err);
/* Address of element index (0-based), valid until the list changes; null (and
 * no report) when the index holds no element. */
void *zdlm_GetAddr(const Zdlm_List *list, int32_t index, Zerr_Report **err);
/* Copies the element to the end. Returns 1 on success, 0 on failure. */
int32_t zdlm_Add(Zdlm_List *list, const void *element, Zerr_Report **err);
/* Copies the element in before index (index == count appends). 1 or 0. */
int32_t zdlm_Insert(Zdlm_List *list, int32_t index, const void *element, Zerr_Report **err);
/* Removes element index; later elements move down by one. 1 or 0. */
int32_t zdlm_Delete(Zdlm_List *list, int32_t index, Zerr_Report **err);
/* Frees the list and clears the pointer; null is accepted. */
void zdlm_FreeList(Zdlm_List **list, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
