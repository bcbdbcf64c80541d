// Display units, degrees-minutes-seconds, and the ground size of pixels.
#include <cmath>
#include <cstdint>

#include "geometry/geometry.h"
#include "geometry/ground_lengths.h"

// One length from one unit to another; the input itself when the toolkit cannot
// convert it (nobody is told: the caller only shows or stores the number).
static double ConvertLength(double value, const char *from, const char *to) {
    Zerr_Report *discard = NULL;
    double converted = value;
    if (zcvt_UnitsConvertByName(&value, from, &converted, to, 1, &discard) == 0 || discard != NULL) {
        converted = value;
    }
    zerr_DeleteErrorReportEx(&discard);
    return converted;
}

double ToDisplayUnits(const ZOT_Data *zotData, double meters) {
    if (zotData == NULL || zotData->distanceUnits == 0) return meters;
    return ConvertLength(meters, "meters", "feet");
}

double FromDisplayUnits(const ZOT_Data *zotData, double shown) {
    if (zotData == NULL || zotData->distanceUnits == 0) return shown;
    return ConvertLength(shown, "feet", "meters");
}

// A whole number as a 32-bit integer, saturated at the ends of its range (0 for
// NaN), so that no input makes the conversion undefined.
static int32_t SaturatedInt32(double whole) {
    if (!(whole == whole)) return 0;
    if (whole >= 2147483647.0) return INT32_MAX;
    if (whole <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(whole);
}

void ToDegreesMinutesSeconds(double degrees, int32_t *wholeDegrees, int32_t *minutes, double *seconds) {
    const double magnitude = std::fabs(degrees);
    const double whole = std::floor(magnitude);
    const double totalSeconds = (magnitude - whole) * 3600.0;
    const double wholeMinutes = std::floor(totalSeconds / 60.0);
    // The sign lives only in the degrees; between -1 and 0 it is lost there and
    // the caller must carry it.
    if (wholeDegrees != NULL) {
        const int32_t d = SaturatedInt32(whole);
        *wholeDegrees = degrees < 0.0 ? -d : d;
    }
    if (minutes != NULL) *minutes = SaturatedInt32(wholeMinutes);
    if (seconds != NULL) *seconds = totalSeconds - wholeMinutes * 60.0;
}

// The elevation to project image points of this image at: the transform's own
// in mono, the block's mean elevation of the image in stereo.
static bool PixelElevation(Zerr_Report **err, const ZOT_Data *zotData, int32_t image, double *elevation) {
    static const char *const kOperation = "calculatePixelToMeter";
    Zerr_Report *hostErr = NULL;
    if (zotData->imageCount == 1) {
        double lowest = 0.0;
        double highest = 0.0;
        if (zxfr_XFormZInfoGet(zotData->fileToMap[image], elevation, &lowest, &highest, &hostErr) == 0 ||
            hostErr != NULL) {
            ZOT_REPORT(err, kOperation, hostErr, "Error getting elevation.");
            return false;
        }
        return true;
    }
    if (zotData->block == NULL || zblk_MeanElevationGet(zotData->block->block, image, elevation) == 0) {
        ZOT_REPORT(err, kOperation, NULL, "Error getting elevation.");
        return false;
    }
    return true;
}

double calculatePixelToMeter(ZOT_Data *zotData, int32_t image, double row1, double col1, double row2,
                             double col2, Zerr_Report **err) {
    static const char *const kOperation = "calculatePixelToMeter";
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    double result = 0.0;
    double z = 0.0;
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    double metersY = 0.0, metersX = 0.0;
    Zerr_Report *cause = NULL;
    if (zotData == NULL) {
        ZOT_REPORT(err, kOperation, NULL, "Invalid ZOT_Data * passed to the function.");
    } else if (image < 0 || image >= zotData->imageCount || image > 1) {
        ZOT_REPORT(err, kOperation, NULL, "Invalid image index %d.", static_cast<int>(image));
    } else if (PixelElevation(err, zotData, image, &z)) {
        ImageAndGroundZToGroundXY(&cause, zotData->fileToMap[image], &col1, &row1, &z, &x1, &y1);
        if (cause == NULL) ImageAndGroundZToGroundXY(&cause, zotData->fileToMap[image], &col2, &row2, &z, &x2, &y2);
        if (cause != NULL) {
            ZOT_REPORT(err, kOperation, cause, "Error performing image to ground.");
        } else {
            GroundDeltasToMeters(err, kOperation, zotData, y1 - y2, x1 - x2, y2, &metersY, &metersX);
            // The root mean square of the two axis lengths: for diagonal
            // neighbours, the mean side of a pixel on the ground.
            if (*err == NULL) result = std::sqrt((metersX * metersX + metersY * metersY) * 0.5);
        }
    }
    zerr_DeleteErrorReportEx(&localErr);
    return result;
}

void calculateAveragePixelToMeter(ZOT_Data *zotData, Zerr_Report **err) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    if (zotData == NULL || zotData->imageCount < 1 || zotData->imageCount > 2) {
        ZOT_REPORT(err, "calculateAveragePixelToMeter", NULL, "Invalid ZOT_Data * passed to the function.");
        zerr_DeleteErrorReportEx(&localErr);
        return;
    }

    double sum = 0.0;
    for (int32_t image = 0; image < zotData->imageCount; ++image) {
        // The far corners use the width and height themselves, not the last pixel.
        const double w = zotData->imageSizeA[image];
        const double h = zotData->imageSizeB[image];
        const double cx = std::trunc(w * 0.5);
        const double cy = std::trunc(h * 0.5);
        const double pairs[5][4] = {
            {0.0, 0.0, 1.0, 1.0},       {0.0, w, 1.0, w - 1.0},       {h, 0.0, h - 1.0, 1.0},
            {h, w, h - 1.0, w - 1.0},   {cy, cx, cy - 1.0, cx - 1.0},
        };
        for (const double *pair : pairs) {
            Zerr_Report *cause = NULL;
            const double value = calculatePixelToMeter(zotData, image, pair[0], pair[1], pair[2], pair[3], &cause);
            if (cause != NULL) {
                const char *name = zotData->imageFileName[image] ? zotData->imageFileName[image] : "the image";
                ZOT_REPORT(err, "calculateAveragePixelToMeter", cause,
                           "Error calculating pixel to meter conversion for %s.", name);
                zerr_DeleteErrorReportEx(&localErr);
                return;
            }
            sum += value;
        }
    }
    zotData->averagePixelToMeter = sum / (zotData->imageCount * 5);
    zerr_DeleteErrorReportEx(&localErr);
}
