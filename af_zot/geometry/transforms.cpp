// Point conversions between an image and the ground through the image's
// file-to-map transform.
#include "geometry/geometry.h"

// The planar mapping of one point through fileToMap, or through its inverse
// when toImage is set, carried in a one-point matrix. The matrix (and the
// inverse) are released on every path; outputs are written once the transform
// has succeeded.
static void PlanarPoint(Zerr_Report **err, const char *operation, Zxfr_XForm *fileToMap, bool toImage,
                        double in0, double in1, double *out0, double *out1) {
    Zerr_Report *hostErr = NULL;
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, &hostErr);
    if (matrix == NULL || hostErr != NULL) {
        zgda_BaseDataDelete(matrix, NULL);
        ZOT_REPORT(err, operation, hostErr, "Error Creating Matrix");
        return;
    }

    Zxfr_XForm *inverse = NULL;
    const Zxfr_XForm *through = fileToMap;
    if (toImage) {
        inverse = zxfr_XFormInvert(fileToMap, 0, &hostErr);
        if (inverse == NULL || hostErr != NULL) {
            zxfr_XFormFree(&inverse, NULL);
            zgda_BaseDataDelete(matrix, NULL);
            ZOT_REPORT(err, operation, hostErr, "Error inverting xForm");
            return;
        }
        through = inverse;
    }

    matrix->data[0] = in0;
    matrix->data[1] = in1;
    if (zxfr_Transform(through, matrix, matrix, &hostErr) == NULL || hostErr != NULL) {
        zxfr_XFormFree(&inverse, NULL);
        zgda_BaseDataDelete(matrix, NULL);
        ZOT_REPORT(err, operation, hostErr, "Error transforming point");
        return;
    }
    *out0 = matrix->data[0];
    *out1 = matrix->data[1];

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

void GroundToImage(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *groundX, const double *groundY,
                   const double *groundZ, double *imageX, double *imageY) {
    static const char *const kOperation = "GroundToImage";
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    Zerr_Report *hostErr = NULL;
    double x = 0.0;
    double y = 0.0;
    int32_t direct = zxfr_GroundToImage(fileToMap, 1, groundX, groundY, groundZ, &x, &y, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error performing ground to image");
    } else if (direct != 0) {
        *imageX = x;
        *imageY = y;
    } else {
        PlanarPoint(err, kOperation, fileToMap, true, *groundX, *groundY, imageX, imageY);
    }
    zerr_DeleteErrorReportEx(&localErr);
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
