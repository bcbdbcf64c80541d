// Measuring the current point: picks, accepting, clearing, and moving the
// current row while picks are pending.
#include "boundary/boundary.h"
#include "geometry/geometry.h"
#include "points/points_internal.h"

int32_t PointCreatedCallback(Zdis_Layer *layer, Zgda_BaseData *coordinates, int32_t rows, int32_t columns,
                             void *info) {
    ZOT_Data *zotData = (ZOT_Data *)info;
    if (!zotData) return 0;
    if (coordinates && coordinates->data && coordinates->rows == 2 && coordinates->columns == 1 && rows == 2 &&
        columns == 1) {
        Zerr_Report *ignored = NULL;
        ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(zotData->pointList, zotData->currentRow, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        if (!point) {
            zdis_ViewerShowMessage("There are no points to measure.");
        } else if (point->isMeasured) {
            zdis_ViewerShowMessage(
                "This point has already been measured.\nYou must clear the measurement before remeasuring.");
        } else {
            bool left = layer == zotData->viewLayer[0][0] || layer == zotData->viewLayer[0][1];
            int32_t image = left ? 0 : 1;
            // A pick of a layer the tool does not know in mono has no image to go to.
            if (image < zotData->imageCount) {
                ZOT_PickCoord pick;
                pick.pickY = coordinates->data[1];
                pick.pickX = coordinates->data[0];
                zdlm_Add(zotData->imagePickList[image], &pick, &ignored);
                zerr_DeleteErrorReportEx(&ignored);
            }
            Zerr_Report *cause = NULL;
            SetLabels(&cause, zotData);
            if (cause) {
                Zerr_Report *report = NULL;
                ZOT_REPORT(&report, "PointCreatedCallback", cause, "Error setting labels");
                zerr_PrintErrorReport(report, 0, 0);
                zerr_DeleteErrorReportEx(&report);
            }
        }
    }
    return ReleasePickTool(zotData);
}

// The mean of one image's picks (n > 0 of them), summed in list order.
static bool AveragePicks(Zerr_Report **cause, Zdlm_List *picks, int32_t count, double *meanX, double *meanY) {
    double sumX = 0.0, sumY = 0.0;
    for (int32_t index = 0; index < count; index++) {
        const ZOT_PickCoord *pick = (const ZOT_PickCoord *)zdlm_GetAddr(picks, index, cause);
        if (*cause || !pick) return false;
        sumX += pick->pickX;
        sumY += pick->pickY;
    }
    *meanX = sumX / count;
    *meanY = sumY / count;
    return true;
}

static void DestroyMarkers(Zdis_Selector *markers[2]) {
    for (int32_t image = 0; image < 2; image++) {
        Zerr_Report *ignored = NULL;
        if (markers[image]) zdis_SelNewDestroy(markers[image], &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        markers[image] = NULL;
    }
}

// How an accept attempt ended before its common last steps.
enum MeasureOutcome {
    kMeasured,         // the point is measured
    kPicksUsedUp,      // failed; the picks are discarded
    kPicksKept,        // failed for want of points or picks; the picks stay for another try
    kNothingToMeasure  // no record at currentRow: nothing at all changes
};

// The steps up to the ground position of the current point. err is never null here.
static MeasureOutcome MeasureCurrentPoint(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    int32_t count = zdlm_CountList(zotData->pointList, &cause);
    if (cause) {
        ZOT_REPORT(err, "AcceptMeasurement", cause, "Error returned by zdlm_CountList.");
        return kPicksUsedUp;
    }
    if (count == 0) {
        ZOT_REPORT(err, "AcceptMeasurement", NULL, "There are no points.");
        return kPicksKept;
    }
    ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(zotData->pointList, zotData->currentRow, &cause);
    if (cause || !point) {
        ZOT_REPORT(err, "AcceptMeasurement", cause, "Error returned by zdlm_Element.");
        return cause ? kPicksUsedUp : kNothingToMeasure;
    }

    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    int32_t pickCount[2] = {0, 0};
    for (int32_t image = 0; image < images; image++) {
        pickCount[image] = zdlm_CountList(zotData->imagePickList[image], &cause);
        if (cause) {
            ZOT_REPORT(err, "AcceptMeasurement", cause, "Error returned by zdlm_CountList.");
            return kPicksUsedUp;
        }
        if (pickCount[image] == 0) {
            if (images == 1)
                ZOT_REPORT(err, "AcceptMeasurement", NULL, "No points have been measured.");
            else if (image == 0)
                ZOT_REPORT(err, "AcceptMeasurement", NULL, "No points have been measured in the left image.");
            else
                ZOT_REPORT(err, "AcceptMeasurement", NULL, "No points have been measured in the right image.");
            return kPicksKept;
        }
    }

    // The new markers stay local until the ground position is known, so that a
    // failure can take them away again and never strands a marker.
    Zdis_Selector *markers[2] = {NULL, NULL};
    double meanX[2] = {0.0, 0.0}, meanY[2] = {0.0, 0.0};
    for (int32_t image = 0; image < images; image++) {
        if (!AveragePicks(&cause, zotData->imagePickList[image], pickCount[image], &meanX[image], &meanY[image])) {
            DestroyMarkers(markers);
            ZOT_REPORT(err, "AcceptMeasurement", cause, "Error returned by zdlm_Element.");
            return kPicksUsedUp;
        }
        markers[image] = CreateSelector(meanY[image], meanX[image], MarkerLabel(point), "Measurement",
                                        point->measuredColor, &cause, image, zotData);
        if (cause) {
            DestroyMarkers(markers);
            ZOT_REPORT(err, "AcceptMeasurement", cause, "Error creating selector for measurement.");
            return kPicksUsedUp;
        }
    }

    double groundX = 0.0, groundY = 0.0, groundZ = point->teElevation;
    if (images == 1) {
        ImageAndGroundZToGroundXY(&cause, zotData->fileToMap[0], &meanX[0], &meanY[0], &point->teElevation,
                                  &groundX, &groundY);
        if (cause) {
            DestroyMarkers(markers);
            ZOT_REPORT(err, "AcceptMeasurement", cause, "Error performing image to ground.");
            return kPicksUsedUp;
        }
    } else {
        FileToObject(zotData->modelInfo, 0, meanX[0], meanY[0], 1, meanX[1], meanY[1], &groundX, &groundY, &groundZ,
                     &cause);
        if (cause) {
            DestroyMarkers(markers);
            ZOT_REPORT(err, "AcceptMeasurement", cause, "Error returned from FileToObject.");
            return kPicksUsedUp;
        }
    }

    // A point that somehow still had measurement markers gets the new ones instead.
    DestroyMarkers(point->measuredSelector);
    point->measuredSelector[0] = markers[0];
    point->measuredSelector[1] = markers[1];
    point->measuredLongitude = groundX;
    point->measuredLatitude = groundY;
    point->measuredElevation = groundZ;
    point->isMeasured = 1;
    return kMeasured;
}

// err is never null here.
static void AcceptCurrentPoint(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *ignored = NULL;
    MeasureOutcome outcome = MeasureCurrentPoint(err, zotData);
    if (outcome == kNothingToMeasure) return;
    if (outcome == kMeasured) {
        zzui_CAUpdateRow(zotData->dataArray, zotData->currentRow, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        int32_t count = zdlm_CountList(zotData->pointList, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        if (zotData->currentRow + 1 < count) {
            zotData->currentRow++;
            zzui_CASetExclusiveRow(zotData->dataArray, 0, zotData->currentRow, &ignored);
            zerr_DeleteErrorReportEx(&ignored);
            if (zotData->autoDrive) {
                Zerr_Report *cause = NULL;
                DriveTo(&cause, zotData);
                if (cause) ZOT_REPORT(err, "AcceptMeasurement", cause, "Error driving to point");
            }
        }
    }
    if (outcome != kPicksKept) ClearImageCoordinates(zotData);
    // Its own failure is dropped so that a report already made stays the one returned.
    CalculateValues(&ignored, zotData);
    zerr_DeleteErrorReportEx(&ignored);
}

void AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData)
        ZOT_REPORT(slot, "AcceptMeasurement", NULL, "Invalid ZOT_Data * passed to the function.");
    else
        AcceptCurrentPoint(slot, zotData);
    zerr_DeleteErrorReportEx(&local);
}

// err is never null here.
static void ClearCurrentPoint(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    int32_t count = zdlm_CountList(zotData->pointList, &cause);
    if (cause) {
        ZOT_REPORT(err, "ClearMeasurement", cause, "Error returned by zdlm_CountList.");
        return;
    }
    if (count == 0) {
        ZOT_REPORT(err, "ClearMeasurement", NULL, "There are no points.");
        return;
    }
    ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(zotData->pointList, zotData->currentRow, &cause);
    if (cause || !point) {
        ZOT_REPORT(err, "ClearMeasurement", cause, "Error returned by zdlm_Element.");
        return;
    }
    if (!point->isMeasured) {
        ZOT_REPORT(err, "ClearMeasurement", NULL, "There are no accepted measurements for this point.");
        return;
    }
    point->measuredLatitude = 0.0;
    point->measuredLongitude = 0.0;
    point->measuredElevation = 0.0;
    point->deltaLatitude = 0.0;
    point->deltaLongitude = 0.0;
    point->deltaElevation = 0.0;
    point->mensurationError = 0.0;
    point->individualCE = 0.0;
    point->individualLE = 0.0;
    point->isMeasured = 0;
    DestroyMarkers(point->measuredSelector);

    CalculateValues(&cause, zotData);
    if (cause) {
        ZOT_REPORT(err, "ClearMeasurement", cause, "Error calculating values.");
        return;
    }
    Zerr_Report *ignored = NULL;
    zzui_CAUpdateRow(zotData->dataArray, zotData->currentRow, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
}

void ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData)
        ZOT_REPORT(slot, "ClearMeasurement", NULL, "Invalid ZOT_Data * passed to the function.");
    else
        ClearCurrentPoint(slot, zotData);
    zerr_DeleteErrorReportEx(&local);
}

int32_t ZOT_AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_AcceptMeasurement", NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        Zerr_Report *cause = NULL;
        AcceptMeasurement(&cause, zotData);
        if (cause) ZOT_REPORT(slot, "ZOT_AcceptMeasurement", cause, "Error accepting measurement.");
    }
    zerr_DeleteErrorReportEx(&local);
    return 0;
}

int32_t ZOT_ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_ClearMeasurement", NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        Zerr_Report *cause = NULL;
        ClearMeasurement(&cause, zotData);
        if (cause) ZOT_REPORT(slot, "ZOT_ClearMeasurement", cause, "Error clearing measurement.");
    }
    zerr_DeleteErrorReportEx(&local);
    return 0;
}

// Returns the report of a refused row change (never null when the change was
// refused), or null when the change stands.
static Zerr_Report *ChangeCurrentRow(ZOT_Data *zotData) {
    Zerr_Report *report = NULL;
    Zerr_Report *cause = NULL;
    int32_t row = zzui_CAGetExclusiveRow(zotData->dataArray, 0, &cause);
    if (cause) {
        ZOT_REPORT(&report, "ExclusiveChangeCB", cause, "Error returned by zzui_CAGetExclusiveRow.");
        return report;
    }
    if (row == zotData->currentRow) return NULL;

    bool pending = false;
    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images && !pending; image++) {
        int32_t count = zdlm_CountList(zotData->imagePickList[image], &cause);
        if (cause) {
            ZOT_REPORT(&report, "ExclusiveChangeCB", cause, "Error returned by zdlm_CountList.");
            return report;
        }
        pending = count > 0;
    }
    if (pending) {
        AcceptMeasurement(&cause, zotData);
        if (cause) {
            ZOT_REPORT(&report, "ExclusiveChangeCB", cause, "Error accepting measurement.");
            return report;
        }
        // Accepting moved the table's current row to the row after the point it
        // measured; the user chose another one, and the table must show that one.
        Zerr_Report *ignored = NULL;
        zzui_CASetExclusiveRow(zotData->dataArray, 0, row, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
    }
    zotData->currentRow = row;
    return NULL;
}

void ExclusiveChangeCB(void *info) {
    ZOT_Data *zotData = (ZOT_Data *)info;
    if (!zotData) return;
    Zerr_Report *report = ChangeCurrentRow(zotData);
    if (!report) return;
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
    Zerr_Report *ignored = NULL;
    zzui_CASetExclusiveRow(zotData->dataArray, 0, zotData->currentRow, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
}
