/* Cell arrays (tables) of the UI runtime.
 *
 * A cell array stores no data: it asks get callbacks for the cells it shows and
 * hands edits to put callbacks. Its parameters (zzml_SetParameters):
 *   "rowcount" int32_t, "columncount" int32_t,
 *   "deleteenable" int32_t, "deletecallback" Zzui_DeleteCallback, "deleteinfo" void *,
 *   "insertenable" int32_t, "insertcallback" Zzui_InsertCallback, "insertinfo" void *,
 *   "column" int32_t (selects the column the following column parameters apply to),
 *   "selectflag" int32_t, "cellinfo" void *,
 *   "getcellvalue" Zzui_CellCallback, "putcellvalue" Zzui_CellCallback,
 *   "columntitle" const char *, "columnformat" const char *,
 *   "exclusivechangecallback" Zzui_ExclusiveChangeCallback, "exclusivechangeinfo" void *.
 */
#ifndef ZZUI_H
#define ZZUI_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A cell callback: info is the column's "cellinfo"; value points to a double
 * (number columns), four doubles (colour columns) or characters (text columns).
 * size is the buffer size in bytes for a text get, 0 otherwise. A get returns 1
 * when it filled the value, 0 to leave the cell empty; a put 1 when it accepted it. */
typedef int32_t (*Zzui_CellCallback)(void *info, int32_t row, int32_t column, void *value, int32_t size);
typedef void (*Zzui_InsertCallback)(void *info, int32_t after, int32_t row);
typedef void (*Zzui_DeleteCallback)(void *info);
typedef void (*Zzui_ExclusiveChangeCallback)(void *info);

/* Redraw one row, or every row, from the get callbacks. 1, or 0 with a report. */
int32_t zzui_CAUpdateRow(Zzml_Part *cellArray, int32_t row, Zerr_Report **err);
int32_t zzui_CAUpdateAll(Zzml_Part *cellArray, Zerr_Report **err);
/* The current (exclusive) row; flags 0. Setting it does not run the change callback. */
int32_t zzui_CASetExclusiveRow(Zzml_Part *cellArray, int32_t flags, int32_t row, Zerr_Report **err);
int32_t zzui_CAGetExclusiveRow(Zzml_Part *cellArray, int32_t flags, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
