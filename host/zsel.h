/* Row selections handed out by a cell array ("selection" of zzml_GetValues). */
#ifndef ZSEL_H
#define ZSEL_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t zsel_SelectionCount(const Zsel_Selection *selection);
int32_t zsel_SelectionIsSet(const Zsel_Selection *selection, int32_t row);
/* Frees the selection; null is accepted. */
void zsel_SelectionDeleteSelection(Zsel_Selection *selection);

#ifdef __cplusplus
}
#endif

#endif
