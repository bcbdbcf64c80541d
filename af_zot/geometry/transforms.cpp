// Point conversions between an image and the ground through the image's
// file-to-map transform.
#include "geometry/geometry.h"

// A one-point matrix (x in row 0, y in row 1) for the planar fallback; null
// with the failure reported under operation.
static Zgda_BaseData *PointMatrix(Zerr_Report **err, const char *operation) {
    Zerr_Report *hostErr = NULL;
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, &hostErr);
    if (matrix != NULL && hostErr == NULL) return matrix;
    zgda_BaseDataDelete(matrix, NULL);
    ZOT_REPORT(err, operation, hostErr, "Error Creating Matrix");
    return NULL;
}

// The inverse of fileToMap (map to file); null with the failure reported.
static Zxfr_XForm *InverseOf(Zerr_Report **err, const char *operation, Zxfr_XForm *fileToMap) {
    Zerr_Report *hostErr = NULL;
    Zxfr_XForm *inverse = zxfr_XFormInvert(fileToMap, 0, &hostErr);
    if (inverse != NULL && hostErr == NULL) return inverse;
    zxfr_XFormFree(&inverse, NULL);
    ZOT_REPORT(err, operation, hostErr, "Error inverting xForm");
    return NULL;
}

// One point through a planar transform, carried in matrix; the outputs are
// written once the transform has succeeded.
static bool CarryPlanar(Zerr_Report **err, const char *operation, const Zxfr_XForm *through, Zgda_BaseData *matrix,
                        double in0, double in1, double *out0, double *out1) {
    Zerr_Report *hostErr = NULL;
    matrix->data[0] = in0;
    matrix->data[1] = in1;
    if (zxfr_Transform(through, matrix, matrix, &hostErr) == NULL || hostErr != NULL) {
        ZOT_REPORT(err, operation, hostErr, "Error transforming point");
        return false;
    }
    *out0 = matrix->data[0];
    *out1 = matrix->data[1];
    return true;
}

// The planar mapping of one point through fileToMap, or through its inverse
// when toImage is set, carried in a one-point matrix. The matrix (and the
// inverse) are released on every path.
static void PlanarPoint(Zerr_Report **err, const char *operation, Zxfr_XForm *fileToMap, bool toImage,
                        double in0, double in1, double *out0, double *out1) {
    Zgda_BaseData *matrix = PointMatrix(err, operation);
    if (matrix == NULL) return;
    Zxfr_XForm *inverse = NULL;
    if (toImage && (inverse = InverseOf(err, operation, fileToMap)) == NULL) {
        zgda_BaseDataDelete(matrix, NULL);
        return;
    }
    if (!CarryPlanar(err, operation, toImage ? inverse : fileToMap, matrix, in0, in1, out0, out1)) {
        zxfr_XFormFree(&inverse, NULL);
        zgda_BaseDataDelete(matrix, NULL);
        return;
    }
    Zerr_Report *hostErr = NULL;
    if (zgda_BaseDataDelete(matrix, &hostErr) == 0 || hostErr != NULL) {
        zxfr_XFormFree(&inverse, NULL);
        ZOT_REPORT(err, operation, hostErr, "Error deleting matrix");
        return;
    }
    if (toImage) {
        zxfr_XFormFree(&inverse, &hostErr);
        if (hostErr != NULL) ZOT_REPORT(err, operation, hostErr, "Error deleting xForm");
    }
}

// Tries the transform's own ground to image; false when it has none (a planar
// transform), true when it answered or failed (then *err holds why).
static bool DirectGroundToImage(Zerr_Report **err, const char *operation, Zxfr_XForm *fileToMap,
                                const double *groundX, const double *groundY, const double *groundZ, double *imageX,
                                double *imageY) {
    Zerr_Report *hostErr = NULL;
    double x = 0.0;
    double y = 0.0;
    int32_t direct = zxfr_GroundToImage(fileToMap, 1, groundX, groundY, groundZ, &x, &y, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, operation, hostErr, "Error performing ground to image");
        return true;
    }
    if (direct == 0) return false;
    *imageX = x;
    *imageY = y;
    return true;
}

void BeginGroundToImageRun(GroundToImageRun *run, Zxfr_XForm *fileToMap) {
    run->fileToMap = fileToMap;
    run->inverse = NULL;
    run->matrix = NULL;
}

// GroundToImage, with the planar fallback's matrix and inverse kept in run
// when run is given.
static void GroundToImageThrough(Zerr_Report **err, Zxfr_XForm *fileToMap, GroundToImageRun *run,
                                 const double *groundX, const double *groundY, const double *groundZ,
                                 double *imageX, double *imageY) {
    static const char *const kOperation = "GroundToImage";
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;
    // The transform's own answer (or its failure) stands; a planar one has none.
    if (!DirectGroundToImage(err, kOperation, fileToMap, groundX, groundY, groundZ, imageX, imageY)) {
        if (run == NULL) {
            PlanarPoint(err, kOperation, fileToMap, true, *groundX, *groundY, imageX, imageY);
        } else {
            if (run->matrix == NULL) run->matrix = PointMatrix(err, kOperation);
            if (run->matrix != NULL && run->inverse == NULL) run->inverse = InverseOf(err, kOperation, fileToMap);
            if (run->inverse != NULL) {
                CarryPlanar(err, kOperation, run->inverse, run->matrix, *groundX, *groundY, imageX, imageY);
            }
        }
    }
    zerr_DeleteErrorReportEx(&localErr);
}

void RunGroundToImage(Zerr_Report **err, GroundToImageRun *run, const double *groundX, const double *groundY,
                      const double *groundZ, double *imageX, double *imageY) {
    GroundToImageThrough(err, run->fileToMap, run, groundX, groundY, groundZ, imageX, imageY);
}

void EndGroundToImageRun(GroundToImageRun *run) {
    // Nothing waits for these releases: a failure changes no result.
    Zerr_Report *ignored = NULL;
    zxfr_XFormFree(&run->inverse, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    if (run->matrix != NULL) zgda_BaseDataDelete(run->matrix, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    run->matrix = NULL;
}

void GroundToImage(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *groundX, const double *groundY,
                   const double *groundZ, double *imageX, double *imageY) {
    GroundToImageThrough(err, fileToMap, NULL, groundX, groundY, groundZ, imageX, imageY);
}

void ImageAndGroundZToGroundXY(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *imageX,
                               const double *imageY, const double *groundZ, double *groundX, double *groundY) {
    static const char *const kOperation = "ImageAndGroundZToGroundXY";
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    Zerr_Report *hostErr = NULL;
    double x = 0.0;
    double y = 0.0;
    int32_t direct = zxfr_ImageAndGroundZToGroundXY(fileToMap, 1, imageX, imageY, groundZ, &x, &y, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error performing image to ground.");
    } else if (direct != 0) {
        *groundX = x;
        *groundY = y;
    } else {
        PlanarPoint(err, kOperation, fileToMap, false, *imageX, *imageY, groundX, groundY);
    }
    zerr_DeleteErrorReportEx(&localErr);
}
