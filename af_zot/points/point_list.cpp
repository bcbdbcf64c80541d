// The point record's life in the point list, and the pending pick lists.
#include <string.h>

#include "boundary/boundary_internal.h"
#include "points/zot_point.h"

void InitNewPoint(const ZOT_Data *zotData, ZOT_Point *point) {
    if (!point) return;
    memset(point, 0, sizeof(ZOT_Point));
    if (zotData) {
        memcpy(point->teColor, zotData->teColor, sizeof point->teColor);
        memcpy(point->measuredColor, zotData->measuredColor, sizeof point->measuredColor);
    }
    // A new point's mensuration error of 0 counts as given.
    point->hasMensurationError = 1;
}

// Destroys a marker and empties its slot, whether or not the host managed to.
static void DestroySelector(Zdis_Selector **selector) {
    if (!*selector) return;
    Zerr_Report *ignored = NULL;
    zdis_SelNewDestroy(*selector, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    *selector = NULL;
}

// A release that stopped at one failed lookup would leave what the points own
// allocated for good, so a lookup made to release is asked again when it fails.
template <typename Lookup>
static auto AskAgainOnFailure(Lookup lookup) -> decltype(lookup(NULL)) {
    Zerr_Report *failed = NULL;
    auto result = lookup(&failed);
    if (failed) {
        zerr_DeleteErrorReportEx(&failed);
        result = lookup(&failed);
        zerr_DeleteErrorReportEx(&failed);
    }
    return result;
}

void DeletePoint(Zdlm_List *pointList, int32_t index) {
    if (!pointList) return;
    ZOT_Point *point = static_cast<ZOT_Point *>(
        AskAgainOnFailure([&](Zerr_Report **err) { return zdlm_GetAddr(pointList, index, err); }));
    if (!point) return;
    Zerr_Report *ignored = NULL;
    // Left T&E, left measurement, right T&E, right measurement.
    for (int32_t image = 0; image < 2; ++image) {
        DestroySelector(&point->teSelector[image]);
        DestroySelector(&point->measuredSelector[image]);
    }
    zmsc_HeapFree(point->pointId);
    point->pointId = NULL;
    zmsc_HeapFree(point->teDescription);
    point->teDescription = NULL;
    zdlm_Delete(pointList, index, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
}

void DeleteAllPoints(Zdlm_List *pointList) {
    if (!pointList) return;
    const int32_t count = AskAgainOnFailure([&](Zerr_Report **err) { return zdlm_CountList(pointList, err); });
    for (int32_t index = count - 1; index >= 0; --index) DeletePoint(pointList, index);
}

void ClearImageCoordinates(ZOT_Data *zotData) {
    if (!zotData) return;
    int32_t images = ImageLoopCount(zotData);
    for (int32_t image = 0; image < images; ++image) {
        Zdlm_List *list = zotData->imagePickList[image];
        if (!list) continue;
        Zerr_Report *ignored = NULL;
        int32_t count = zdlm_CountList(list, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        for (int32_t index = count - 1; index >= 0; --index) {
            zdlm_Delete(list, index, &ignored);
            zerr_DeleteErrorReportEx(&ignored);
        }
    }
}
