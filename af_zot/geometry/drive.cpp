// Driving the viewer panes to the current point.
#include <stdint.h>

#include <cmath>

#include "geometry/geometry.h"
#include "points/zot_point.h"

static const char *const kOperation = "DriveTo";

// The scroll position that puts canvas position centre half a canvas in. A
// point near the end of the canvas range (a reference point far outside the
// image) scrolls as far as a scroll position reaches instead of overflowing.
static int32_t ScrollPosition(int32_t centre, int32_t half) {
    const int64_t position = static_cast<int64_t>(centre) - half;
    if (position < INT32_MIN) return INT32_MIN;
    if (position > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(position);
}

// Centres one pane on a map position. The pane keeps its position when the
// viewer cannot convert or scroll; those failures are nobody's business.
static void CentrePane(Zdis_ViewWindow *pane, Zdis_Layer *layer, double mapX, double mapY) {
    Zerr_Report *discard = NULL;
    int32_t cx = 0, cy = 0;
    const int32_t converted = zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, mapX, mapY, &cx, &cy,
                                                                           &discard);
    const bool convertFailed = converted == 0 || discard != NULL;
    zerr_DeleteErrorReportEx(&discard);
    if (convertFailed) return;

    int32_t left = 0, top = 0, width = 0, height = 0;
    const int32_t measured = zdis_ViewWindowGetCanvasGeometry(pane, &left, &top, &width, &height, &discard);
    const bool geometryFailed = measured == 0 || discard != NULL;
    zerr_DeleteErrorReportEx(&discard);
    if (geometryFailed) return;

    const int32_t halfWidth = static_cast<int32_t>(std::floor(width * 0.5));
    const int32_t halfHeight = static_cast<int32_t>(std::floor(height * 0.5));
    zdis_ViewWindowSetScroll(pane, ScrollPosition(cx, halfWidth), ScrollPosition(cy, halfHeight), &discard);
    zerr_DeleteErrorReportEx(&discard);
}

// Scrolls the zoom pane and then the main pane of every image to the point.
// The matrix carries the image position and then, in place, the map position.
static void DrivePanes(Zerr_Report **err, ZOT_Data *zotData, const ZOT_Point *point, Zgda_BaseData *matrix) {
    // An accepted measurement is shown where it was measured.
    const double groundX = point->isMeasured ? point->measuredLongitude : point->teLongitude;
    const double groundY = point->isMeasured ? point->measuredLatitude : point->teLatitude;
    const double groundZ = point->isMeasured ? point->measuredElevation : point->teElevation;
    static const int32_t kPaneOrder[2] = {1, 0};

    for (int32_t image = 0; image < zotData->imageCount && image < 2; ++image) {
        for (int32_t pane : kPaneOrder) {
            Zerr_Report *cause = NULL;
            if (zotData->imageCount == 1) {
                GroundToImage(&cause, zotData->fileToMap[image], &groundX, &groundY, &groundZ, &matrix->data[0],
                              &matrix->data[1]);
                if (cause != NULL) {
                    ZOT_REPORT(err, kOperation, cause, "Error performing ground to image");
                    return;
                }
            } else {
                ObjectToFile(&cause, image, zotData->modelInfo, groundX, groundY, groundZ, &matrix->data[0],
                             &matrix->data[1]);
                if (cause != NULL) {
                    ZOT_REPORT(err, kOperation, cause, "Error returned from ObjectToFile");
                    return;
                }
            }
            if (zxfr_Transform(zotData->fileToMap[image], matrix, matrix, &cause) == NULL || cause != NULL) {
                ZOT_REPORT(err, kOperation, cause, "Error transforming file to map");
                return;
            }
            CentrePane(zotData->viewWindow[image][pane], zotData->viewLayer[image][pane], matrix->data[0],
                       matrix->data[1]);
        }
    }
}

static void DriveToCurrentPoint(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *hostErr = NULL;
    const int32_t count = zdlm_CountList(zotData->pointList, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error returned by zdlm_CountList.");
        return;
    }
    if (count == 0) {
        zdis_ViewerShowMessage("There are no points.");
        return;
    }

    // A current row that holds no point is a failure: nothing is read from it.
    const ZOT_Point *point =
        static_cast<const ZOT_Point *>(zdlm_GetAddr(zotData->pointList, zotData->currentRow, &hostErr));
    if (point == NULL || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error returned by zdlm_Element.");
        return;
    }
    // Even a measured point needs its full T&E position.
    if (!point->hasTELongitude || !point->hasTELatitude || !point->hasTEElevation) {
        ZOT_REPORT(err, kOperation, NULL, "T&E point not valid.");
        return;
    }

    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, &hostErr);
    if (matrix == NULL || hostErr != NULL) {
        zgda_BaseDataDelete(matrix, NULL);
        ZOT_REPORT(err, kOperation, hostErr, "Error creating matrix");
        return;
    }
    DrivePanes(err, zotData, point, matrix);
    zgda_BaseDataDelete(matrix, &hostErr);
    zerr_DeleteErrorReportEx(&hostErr);
}

void DriveTo(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *localErr = NULL;
    Zerr_Report **slot = err != NULL ? err : &localErr;
    *slot = NULL;
    if (zotData == NULL) {
        ZOT_REPORT(slot, kOperation, NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        DriveToCurrentPoint(slot, zotData);
    }
    // Without a caller to hand it to, the user is shown the failure.
    if (localErr != NULL) {
        zerr_PrintErrorReport(localErr, 0, 0);
        zerr_DeleteErrorReportEx(&localErr);
    }
}

int32_t ZOT_DriveTo(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;
    if (zotData == NULL) {
        ZOT_REPORT(err, "ZOT_DriveTo", NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        Zerr_Report *cause = NULL;
        DriveTo(&cause, zotData);
        if (cause != NULL) ZOT_REPORT(err, "ZOT_DriveTo", cause, "Error driving to point");
    }
    zerr_DeleteErrorReportEx(&localErr);
    return 0;
}
