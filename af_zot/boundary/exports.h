// The module's exported functions, found by the host under these plain names.
#ifndef ZOT_EXPORTS_H
#define ZOT_EXPORTS_H

#include <stdint.h>

#include "zot_data.h"

#define AF_ZOT_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the application-function names without the module prefix: *names
// receives a zmsc_HeapMalloc array of 16 slots holding zstr_Duplicate copies
// (the host frees each name and the array with zmsc_HeapFree); *count tells how
// many leading slots hold a name, the rest being null. Always returns 0.
AF_ZOT_EXPORT int32_t af_zotInstanceTitleListGet(int32_t *count, char ***names);

// Every application function: a host value the tool never reads, the tool record
// (null only before a start), the argument texts, and an error-report slot (or
// null). Only ZOT_ZOTType returns a list; the caller frees it.
#define AF_ZOT_APPLICATION_FUNCTION(name)                                                                \
    AF_ZOT_EXPORT Zstr_StringList *af_zot##name(void *host, ZOT_Data *record, int32_t argc, char **argv, \
                                                Zerr_Report **err)
AF_ZOT_APPLICATION_FUNCTION(ZOT_SelectImages);
AF_ZOT_APPLICATION_FUNCTION(ZOT_Start);
AF_ZOT_APPLICATION_FUNCTION(ZOT_SelectTool);
AF_ZOT_APPLICATION_FUNCTION(ZOT_OpenTEFile);
AF_ZOT_APPLICATION_FUNCTION(ZOT_SaveTEFile);
AF_ZOT_APPLICATION_FUNCTION(ZOT_DriveTo);
AF_ZOT_APPLICATION_FUNCTION(ZOT_ClearMeasurement);
AF_ZOT_APPLICATION_FUNCTION(ZOT_AcceptMeasurement);
AF_ZOT_APPLICATION_FUNCTION(ZOT_ToggleGraphics);
AF_ZOT_APPLICATION_FUNCTION(ZOT_CloseTool);
AF_ZOT_APPLICATION_FUNCTION(ZOT_UpdateUnits);
AF_ZOT_APPLICATION_FUNCTION(ZOT_AddRow);
AF_ZOT_APPLICATION_FUNCTION(ZOT_CreateReport);
AF_ZOT_APPLICATION_FUNCTION(ZOT_ZOTType);
AF_ZOT_APPLICATION_FUNCTION(ZOT_SetAutoDrive);
AF_ZOT_APPLICATION_FUNCTION(ZOT_SetFormat);
#undef AF_ZOT_APPLICATION_FUNCTION

#ifdef __cplusplus
}
#endif

#endif
