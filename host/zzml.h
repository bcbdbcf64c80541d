/* The UI-script runtime: parsing scripts, frames and their parts, tool sets, dialogs. */
#ifndef ZZML_H
#define ZZML_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The host root: its first word is handed to zzml_ParseVa; winInfo describes the display. */
struct Zzml_Root {
    void *context;
    Zzml_WinInfo *winInfo;
};

Zzml_Root *zzml_GetTheRoot(void);
/* Parses the script file scriptName (looked up in the host's UI folder) under
 * the root. flags 0. The options after err are pairs ended by 0; option 2 takes
 * a pointer that becomes the client data of every application function and
 * callback the script calls. Null and a report (naming the file and line) on failure. */
Zzml_ParseResult *zzml_ParseVa(int32_t flags, const char *scriptName, void *rootContext, Zerr_Report **err,
                               ...);
/* Frees a parse result with its parts and clears the pointer; null is accepted. */
void zzml_ParseResultFree(Zzml_ParseResult **result, Zerr_Report **err);

/* A top-level part (frame or query) by name; null and a report when missing. */
Zzml_Part *zzml_PartFind(Zzml_ParseResult *result, const char *name, Zerr_Report **err);
/* A part inside a frame by name; null and a report when missing. */
Zzml_Part *zzml_FrameFindPart(Zzml_Part *frame, const char *name, Zerr_Report **err);
/* Shows the frame. 1, or 0 with a report. */
int32_t zzml_FrameDisplay(Zzml_Part *frame, Zerr_Report **err);
void zzml_FrameGeometryGet(Zzml_Part *frame, int32_t *x, int32_t *y, int32_t *width, int32_t *height);
void zzml_FrameGeometrySet(Zzml_Part *frame, int32_t x, int32_t y, int32_t width, int32_t height);
/* The screen size in pixels (1920 x 1200 unless the host sets another). */
void zzml_WinInfoGetScreenSize(Zzml_WinInfo *winInfo, int32_t *width, int32_t *height);
void zzml_PartTitleSet(Zzml_Part *part, const char *title);
/* Sets the text shown by a text part (a label). 1, or 0 with a report. */
int32_t zzml_StringPartValueSet(Zzml_Part *part, const char *text, Zerr_Report **err);
/* The current value text of a part (a toggle's chosen value, a label's text);
 * owned by the part. */
const char *zzml_PartValueGet(const Zzml_Part *part);

/* Named parameters of a part, as name/value pairs ended by a null name. Integer
 * values are passed as int32_t, texts as const char *, callbacks and client data
 * as pointers (see zzui.h for the cell-array names). 1, or 0 with a report. */
int32_t zzml_SetParameters(Zzml_Part *part, Zerr_Report **err, ...);
/* Reads named values into the addresses given, pairs ended by a null name:
 * "rowcount" (int32_t *), "selection" (Zsel_Selection **; the caller frees it
 * with zsel_SelectionDeleteSelection). 1, or 0 with a report. */
int32_t zzml_GetValues(Zzml_Part *part, Zerr_Report **err, ...);

/* A modal yes/no question; nonzero when the second answer ("Yes") was chosen.
 * Answers come from the host's queue; an empty queue answers the first. */
int32_t zzml_QueryYesNo(Zzml_Root *root, const char *question, const char *first, const char *second,
                        Zerr_Report **err);
/* Asks for a file name with a file-name query part over parent. Returns a heap
 * text (freed with zmsc_HeapFree), or null when the user cancels. */
char *zzml_FileNameListQuery(Zzml_Part *query, Zzml_Part *parent, Zerr_Report **err);

/* Tool sets: a titled set of a frame's tools. */
typedef void (*Zzml_ToolSetResetCallback)(void *info);
Zzml_ToolSet *zzml_ToolSetCreate(const char *title);
/* Adds the frame's tool of that name. 1, or 0 when the frame has no such tool. */
int32_t zzml_ToolSetToolAddByName(Zzml_ToolSet *set, Zzml_Part *frame, const char *toolName);
int32_t zzml_ToolSetResetCallbackAdd(Zzml_ToolSet *set, Zzml_ToolSetResetCallback callback, void *info);
int32_t zzml_ToolSetToolSelect(Zzml_ToolSet *set, const char *toolName);
void zzml_ToolSetLock(Zzml_ToolSet *set, int32_t lock);
int32_t zzml_ToolSetIsLocked(const Zzml_ToolSet *set);
/* Resets the set (no tool selected) and runs the reset callbacks. Returns 1. */
int32_t zzml_ToolSetReset(Zzml_ToolSet *set);
/* Destroys the set; null is accepted. */
void zzml_ToolSetDestroy(Zzml_ToolSet *set);

#ifdef __cplusplus
}
#endif

#endif
