// Image georeferencing: what the tool needs to know about where an image lies
// on the ground, read once per image at start-up.
#include "geometry/geometry.h"

static const char *const kOperation = "GetFileToMap";

bool IsDegreeUnits(const char *unitsName) {
    static const char *const kDegreeNames[] = {"dd", "deg", "degree", "degrees", "dg"};
    if (unitsName == NULL) return false;
    for (const char *name : kDegreeNames) {
        if (ztxt_Text_strcmp(unitsName, name) == 0) return true;
    }
    return false;
}

// Replaces the record's units name with one read from a layer. The record owns
// the text; the one it held before (the left image's, in stereo) is freed here
// rather than dropped.
static void StoreMapUnits(ZOT_Data *zotData, char *unitsName) {
    zmsc_HeapFree(zotData->mapUnits);
    zotData->mapUnits = unitsName;
    zotData->unitsAreDegrees = IsDegreeUnits(unitsName) ? 1 : 0;
}

// What GetFileToMap opens or reads on its way; all of it is released before it returns.
struct GeoreferencingReads {
    Zstr_StringList *layerNames;
    Zimg_Layer *layer;
    char *projectionName;
    char *unitsName;
    Zxfr_XForm *mapToFile;
    Zxfr_XForm *inverse;
    Zprj_Projection *projection;
};

static void ReadGeoreferencing(Zerr_Report **err, ZOT_Data *zotData, const char *fileName, GeoreferencingReads *reads,
                               Zxfr_XForm **fileToMap, Zprj_ProParameters **parameters, double *width,
                               double *height) {
    Zerr_Report *hostErr = NULL;

    reads->layerNames = zimg_LayerGetNames(fileName, zint_GetInit(), &hostErr);
    if (reads->layerNames == NULL || zstr_StringListCount(reads->layerNames) < 1 || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error getting layer names for %s.", fileName ? fileName : "");
        return;
    }
    const char *layerName = zstr_StringListGet(reads->layerNames, 0);

    reads->layer = zimg_LayerOpen(layerName, zint_GetInit(), &hostErr, 3, 0);
    if (reads->layer == NULL || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error opening layer %s.", layerName);
        return;
    }

    zimg_LayerMapInformationRead(reads->layer, &reads->projectionName, &reads->unitsName, &reads->mapToFile,
                                 &hostErr);
    if (reads->mapToFile == NULL || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error getting mapToFile transformation for %s.", layerName);
        return;
    }
    StoreMapUnits(zotData, reads->unitsName);
    reads->unitsName = NULL;

    if (zotData->imageCount == 2 && zstr_Eqic(reads->projectionName, "Geographic (Lat/Lon)") == 0) {
        ZOT_REPORT(err, kOperation, NULL, "Image %s is not Geographic (Lat/Lon).", layerName);
        return;
    }

    if (zimg_LayerMapProjectionRead(reads->layer, &reads->projection, &hostErr) == 0 || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error getting map projection");
        return;
    }
    // Owned by the projection; a missing set shows up when it is copied below.
    const Zprj_ProParameters *projectionParameters =
        static_cast<const Zprj_ProParameters *>(zprj_MapProjectionCSRGet(reads->projection, "Zprj_ProParameters"));

    reads->inverse = zxfr_XFormInvert(reads->mapToFile, 0, &hostErr);
    if (reads->inverse == NULL || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error inverting mapToFile transformation for %s.", layerName);
        return;
    }

    if (fileToMap != NULL) {
        Zxfr_XForm *copy = zxfr_XFormCopy(reads->inverse, 0, &hostErr);
        if (copy == NULL || hostErr != NULL) {
            zxfr_XFormFree(&copy, NULL);
            ZOT_REPORT(err, kOperation, hostErr, "Error copying xform.");
            return;
        }
        *fileToMap = copy;
    }

    if (parameters != NULL) {
        Zprj_ProParameters *copy = zprj_ProParametersCopy(projectionParameters, 0, &hostErr);
        if (copy == NULL || hostErr != NULL) {
            zprj_ProParametersFree(&copy);
            ZOT_REPORT(err, kOperation, hostErr, "Error copying projection parameters.");
            return;
        }
        *parameters = copy;
    }

    if (width != NULL) *width = static_cast<double>(reads->layer->width);
    if (height != NULL) *height = static_cast<double>(reads->layer->height);
}

// Release failures are of no use to the caller and never reach it.
static void ReleaseGeoreferencing(GeoreferencingReads *reads) {
    Zerr_Report *discard = NULL;
    zxfr_XFormFree(&reads->mapToFile, &discard);
    zerr_DeleteErrorReportEx(&discard);
    zxfr_XFormFree(&reads->inverse, &discard);
    zerr_DeleteErrorReportEx(&discard);
    if (reads->projection != NULL) zprj_ProjectionFree(&reads->projection);
    if (reads->layer != NULL) {
        zimg_LayerClose(reads->layer, &discard);
        zerr_DeleteErrorReportEx(&discard);
        reads->layer = NULL;
    }
    zmsc_HeapFree(reads->projectionName);
    reads->projectionName = NULL;
    zmsc_HeapFree(reads->unitsName);
    reads->unitsName = NULL;
    zstr_StringListDelete(&reads->layerNames, &discard);
    zerr_DeleteErrorReportEx(&discard);
}

void GetFileToMap(Zerr_Report **err, ZOT_Data *zotData, const char *fileName, Zxfr_XForm **fileToMap,
                  Zprj_ProParameters **parameters, double *width, double *height) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    if (zotData == NULL) {
        ZOT_REPORT(err, kOperation, NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        GeoreferencingReads reads = {};
        ReadGeoreferencing(err, zotData, fileName, &reads, fileToMap, parameters, width, height);
        ReleaseGeoreferencing(&reads);
    }
    zerr_DeleteErrorReportEx(&localErr);
}
