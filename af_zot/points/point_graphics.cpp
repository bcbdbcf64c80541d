// Point markers in the viewers: making them, re-placing a point's T&E markers,
// and showing or hiding all of them.
#include <string.h>

#include "geometry/geometry.h"
#include "points/points_internal.h"

// One two-row, one-column matrix (x in row 0, y in row 1) carries every marker
// position to the host. Made by the first CreateSelector and kept for the life of
// the module; markers do not keep a reference to it.
static Zgda_BaseData *sharedPointMatrix = NULL;

const char *MarkerLabel(const ZOT_Point *point) { return point->pointId ? point->pointId : ""; }

bool HasTEPosition(const ZOT_Point *point) {
    return point->hasTELatitude && point->hasTELongitude && point->hasTEElevation;
}

void RelabelMeasurementMarkers(ZOT_Data *zotData, ZOT_Point *point) {
    for (int32_t image = 0; image < 2; image++) {
        if (!point->measuredSelector[image]) continue;
        zdis_SelNewGCPChangeString(point->measuredSelector[image], MarkerLabel(point), zotData->viewWindow[image][0]);
        zdis_SelNewGCPChangeString(point->measuredSelector[image], MarkerLabel(point), zotData->viewWindow[image][1]);
    }
}

// err is never null here.
static Zdis_Selector *MakeSelector(Zerr_Report **err, double imageY, double imageX, const char *label,
                                     const char *name, const double *color, int32_t image, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    if (!sharedPointMatrix) {
        Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, &cause);
        if (!matrix || cause) {
            zgda_BaseDataDelete(matrix, NULL);
            ZOT_REPORT(err, "CreateSelector", cause, "Error returned by zfga_Matrix.");
            return NULL;
        }
        sharedPointMatrix = matrix;
    }
    sharedPointMatrix->data[0] = imageX;
    sharedPointMatrix->data[1] = imageY;

    Zdis_ViewWindow *mainPane = zotData->viewWindow[image][0];
    Zdis_Selector *selector =
        zdis_SelNewCreate(mainPane, zotData->viewLayer[image][0], name, zmsc_AddressOf_vselGCPMethods(),
                          sharedPointMatrix, 1, &cause, "coordtype", (int32_t)1, "fontname", "6x12", "label",
                          label ? label : "", (const char *)NULL);
    if (!selector || cause) {
        ZOT_REPORT(err, "CreateSelector", cause, "Error creating selector.");
        return selector;
    }
    zdis_SelNewSetColor(selector, mainPane, color[0], color[1], color[2], &cause);
    if (cause) {
        ZOT_REPORT(err, "CreateSelector", cause, "Error setting selector color.");
        return selector;
    }
    zdis_SelNewDisable(selector, &cause);
    if (cause) {
        ZOT_REPORT(err, "CreateSelector", cause, "Error disabling selector.");
        return selector;
    }
    if (!zotData->graphicsShown) {
        zdis_SelSetASelectorHidden(selector, mainPane);
        zdis_SelSetASelectorHidden(selector, zotData->viewWindow[image][1]);
        zdis_SelRefreshAllSelectorsAllWindows();
    }
    return selector;
}

Zdis_Selector *CreateSelector(double imageY, double imageX, const char *label, const char *name,
                              const double *color, Zerr_Report **err, int32_t image, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    Zdis_Selector *selector = MakeSelector(slot, imageY, imageX, label, name, color, image, zotData);
    zerr_DeleteErrorReportEx(&local);
    return selector;
}

TEMarkerStep PlaceTEMarkers(Zerr_Report **cause, ZOT_Data *zotData, ZOT_Point *point, GroundToImageRun *run) {
    *cause = NULL;
    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images; image++) {
        double imageX = 0.0, imageY = 0.0;
        if (images == 1) {
            if (run) {
                RunGroundToImage(cause, run, &point->teLongitude, &point->teLatitude, &point->teElevation, &imageX,
                                 &imageY);
            } else {
                GroundToImage(cause, zotData->fileToMap[0], &point->teLongitude, &point->teLatitude,
                              &point->teElevation, &imageX, &imageY);
            }
            if (*cause) return kTEGroundToImageFailed;
        } else {
            ObjectToFile(cause, image, zotData->modelInfo, point->teLongitude, point->teLatitude,
                         point->teElevation, &imageX, &imageY);
            if (*cause) return kTEObjectToFileFailed;
        }
        point->teSelector[image] =
            CreateSelector(imageY, imageX, MarkerLabel(point), "T&E", point->teColor, cause, image, zotData);
        if (*cause) return kTECreateSelectorFailed;
    }
    return kTEMarkersPlaced;
}

// err is never null here.
static void ReplaceTEMarkers(Zerr_Report **err, ZOT_Data *zotData, ZOT_Point *point) {
    Zerr_Report *cause = NULL;
    for (int32_t image = 0; image < 2; image++) {
        if (!point->teSelector[image]) continue;
        zdis_SelNewDestroy(point->teSelector[image], &cause);
        if (cause) {
            ZOT_REPORT(err, "UpdateSelector", cause, "Error deleting selector.");
            return;
        }
        point->teSelector[image] = NULL;
    }
    RelabelMeasurementMarkers(zotData, point);

    switch (PlaceTEMarkers(&cause, zotData, point, NULL)) {
    case kTEMarkersPlaced:
        break;
    case kTEGroundToImageFailed:
        ZOT_REPORT(err, "UpdateSelector", cause, "Error performing ground to image");
        break;
    case kTEObjectToFileFailed:
        ZOT_REPORT(err, "UpdateSelector", cause, "Error returned from ObjectToFile");
        break;
    case kTECreateSelectorFailed:
        ZOT_REPORT(err, "UpdateSelector", cause, "Failed to create selector for T&E point");
        break;
    }
}

void UpdateSelector(Zerr_Report **err, ZOT_Data *zotData, ZOT_Point *point) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    ReplaceTEMarkers(slot, zotData, point);
    zerr_DeleteErrorReportEx(&local);
}

int32_t ZOT_ToggleGraphics(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_ToggleGraphics", NULL, "Invalid ZOT_Data * passed to the function.");
    } else if (argc < 1 || !argv || !argv[0]) {
        ZOT_REPORT(slot, "ZOT_ToggleGraphics", NULL, "Insufficient arguments passed to the function.");
    } else if (strcmp(argv[0], "1") != 0 && strcmp(argv[0], "0") != 0) {
        // Exactly what the UI script's buttons send: "1abc" is no "1".
        ZOT_REPORT(slot, "ZOT_ToggleGraphics", NULL, "Unknown graphics setting \"%s\"; 1 shows, 0 hides.", argv[0]);
    } else {
        int32_t wanted = argv[0][0] == '1' ? 1 : 0;
        if (wanted != zotData->graphicsShown) {
            zotData->graphicsShown = wanted;
            Zerr_Report *ignored = NULL;
            int32_t count = zdlm_CountList(zotData->pointList, &ignored);
            zerr_DeleteErrorReportEx(&ignored);
            int32_t images = zotData->imageCount == 1 ? 1 : 2;
            for (int32_t index = 0; index < count; index++) {
                ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(zotData->pointList, index, &ignored);
                zerr_DeleteErrorReportEx(&ignored);
                if (!point) continue;
                for (int32_t image = 0; image < images; image++) {
                    for (int32_t pane = 0; pane < 2; pane++) {
                        Zdis_ViewWindow *window = zotData->viewWindow[image][pane];
                        Zdis_Selector *markers[2] = {point->teSelector[image], point->measuredSelector[image]};
                        for (Zdis_Selector *marker : markers) {
                            if (!marker) continue;
                            if (wanted)
                                zdis_SelSetASelectorShown(marker, window);
                            else
                                zdis_SelSetASelectorHidden(marker, window);
                        }
                    }
                }
            }
            zdis_SelRefreshAllSelectorsAllWindows();
        }
    }
    zerr_DeleteErrorReportEx(&local);
    return 0;
}
