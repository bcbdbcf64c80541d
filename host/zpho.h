/* Photogrammetric blocks of images with sensor models. */
#ifndef ZPHO_H
#define ZPHO_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Block data: the number of images and the block itself; the rest belongs to the toolkit. */
struct Zpho_BlockData {
    int32_t imageCount;
    Zblk_Block *block;
    struct Zpho_BlockDataImpl *impl;
};

/* Builds a block from the files of fileNames with a sensor model ("NITF RPC").
 * flags, horizontal units, elevation units, angular units, the projection
 * parameters of the ground system, the model name, reserved 0, the files,
 * reserved 0. Null and a report (naming the image) when an image has no model. */
Zpho_BlockData *zpho_BlockCreateFromImages(int32_t flags, const char *horizontalUnits,
                                           const char *elevationUnits, const char *angularUnits,
                                           const Zprj_ProParameters *parameters, const char *sensorModel,
                                           int32_t reserved, const Zstr_StringList *fileNames,
                                           int32_t reserved2, Zerr_Report **err);
/* The block's model information, owned by the block data. Null and a report on failure. */
Zpho_ModelInfo *zpho_BlockModelInfoGet(Zpho_BlockData *data, Zerr_Report **err);
/* Frees block data and clears the pointer; null is accepted. */
void zpho_BlockDataFree(Zpho_BlockData **data, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
