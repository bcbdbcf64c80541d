// What the boundary's own files share.
#ifndef ZOT_BOUNDARY_INTERNAL_H
#define ZOT_BOUNDARY_INTERNAL_H

#include "boundary/zot_data.h"

// How many images a loop over per-image fields visits: imageCount, kept within
// the two slots each such field has.
static inline int32_t ImageLoopCount(const ZOT_Data *zotData) {
    if (zotData->imageCount < 0) return 0;
    return zotData->imageCount > 2 ? 2 : zotData->imageCount;
}

// The closing sequence for a start-up that failed after its record existed.
// Its own failures are not shown: the start-up report already tells the user,
// and a half-built tool lacks by nature some of what closing takes down.
void CloseFailedStart(ZOT_Data *zotData);

#endif
