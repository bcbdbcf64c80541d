// The module's exported functions, found by the host under these plain names.
#ifndef ZOT_EXPORTS_H
#define ZOT_EXPORTS_H

#include <stdint.h>

#include "boundary/zot_data.h"

#define AF_ZOT_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the application-function names without the module prefix: *names
// receives a zmsc_HeapMalloc array of 16 slots holding zstr_Duplicate copies
// (the host frees each name and the array with zmsc_HeapFree); *count tells how
// many leading slots hold a name, the rest being null. Always returns 0.
AF_ZOT_EXPORT int32_t af_zotInstanceTitleListGet(int32_t *count, char ***names);

// The sixteen application functions, in the order the listing hands them to
// the host: X(name) for each. The listing, the exports and the tests all take
// them from here.
#define AF_ZOT_APPLICATION_FUNCTIONS(X)                                                                      \
    X(ZOT_SelectImages) X(ZOT_Start) X(ZOT_SelectTool) X(ZOT_OpenTEFile) X(ZOT_SaveTEFile) X(ZOT_DriveTo) \
    X(ZOT_ClearMeasurement) X(ZOT_AcceptMeasurement) X(ZOT_ToggleGraphics) X(ZOT_CloseTool)             \
    X(ZOT_UpdateUnits) X(ZOT_AddRow) X(ZOT_CreateReport) X(ZOT_ZOTType) X(ZOT_SetAutoDrive) X(ZOT_SetFormat)

// Every application function: a host value the tool never reads, the tool record
// (null only before a start), the argument texts, and an error-report slot (or
// null). Only ZOT_ZOTType returns a list; the caller frees it.
#define AF_ZOT_APPLICATION_FUNCTION(name)                                                                \
    AF_ZOT_EXPORT Zstr_StringList *af_zot##name(void *host, ZOT_Data *record, int32_t argc, char **argv, \
                                                Zerr_Report **err);
AF_ZOT_APPLICATION_FUNCTIONS(AF_ZOT_APPLICATION_FUNCTION)
#undef AF_ZOT_APPLICATION_FUNCTION

#ifdef __cplusplus
}
#endif

#endif
