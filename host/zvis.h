/* Callbacks on displayed objects. */
#ifndef ZVIS_H
#define ZVIS_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZVIS_EVENT_OBJECT_DESTROYED 18

/* object, event, call data and a reserved value are the host's; info is the
 * client data given when the callback was added. */
typedef int32_t (*Zvis_ObjectCallback)(void *object, int32_t event, void *callData, void *reserved, void *info);

/* Runs callback with info when event happens to the layer. 1, or 0 with a report. */
int32_t zvis_ObjectAddCallback(Zdis_Layer *layer, int32_t event, Zvis_ObjectCallback callback, void *info,
                               Zerr_Report **err);
/* Removes a callback added with the same event, callback and info. 1, or 0 with a report. */
int32_t zvis_ObjectRmCallback(Zdis_Layer *layer, int32_t event, Zvis_ObjectCallback callback, void *info,
                              Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
