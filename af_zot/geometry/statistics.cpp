// Per-point errors and the accuracy statistics of the whole point set.
#include <cmath>

#include "geometry/geometry.h"
#include "geometry/ground_lengths.h"
#include "points/points.h"

static const char *const kOperation = "CalculateValues";

// A 90 % circular error per unit standard deviation, and a 90 % linear one.
static const double kCircular90 = 2.146;
static const double kLinear90 = 1.6449;

// The 90 % factor for r = |mean| / standard deviation: a cubic up to 1.4, then
// the constant it reaches there.
static double NinetyPercentFactor(double r) {
    if (r > 1.4) return 1.2815;
    return 1.6435 - 0.999556 * r + 0.923237 * r * r - 0.282533 * r * r * r;
}

// The 90 % value of errors with this mean and standard deviation. Without any
// spread every error equals the mean, so the value is |mean| (the factor would
// otherwise see 0/0 or an infinite ratio).
static double NinetyPercentValue(double mean, double standardDeviation) {
    const double magnitude = std::fabs(mean);
    if (!(standardDeviation > 0.0)) return magnitude;
    return magnitude + NinetyPercentFactor(magnitude / standardDeviation) * standardDeviation;
}

// Population standard deviation from the mean of squares and the mean; rounding
// can make the variance of equal values slightly negative, which counts as 0.
static double StandardDeviation(double meanOfSquares, double mean) {
    const double variance = meanOfSquares - mean * mean;
    return variance > 0.0 ? std::sqrt(variance) : 0.0;
}

static bool PointCounts(const ZOT_Point *point) {
    return point->isMeasured && point->hasTELatitude && point->hasTELongitude && point->hasTEElevation &&
           point->hasMensurationError && point->hasTECE90 && point->hasTELE90;
}

struct ErrorSums {
    int32_t n;
    double he, he2;
    double lat, lat2;
    double lon, lon2;
    double elevation, elevation2;
    double teCircular;  // sum of (teCE90 / 2.146)^2
    double teLinear;    // sum of (teLE90 / 1.6449)^2
    double mensuration; // sum of mensurationError^2
};

// Computes one counted point's errors into the point and adds them to the sums.
static bool AddPoint(Zerr_Report **err, const ZOT_Data *zotData, ZOT_Point *point, ErrorSums *sums) {
    GroundDeltasToMeters(err, kOperation, zotData, point->measuredLatitude - point->teLatitude,
                         point->measuredLongitude - point->teLongitude, point->teLatitude, &point->deltaLatitude,
                         &point->deltaLongitude);
    if (*err != NULL) return false;
    sums->lat += point->deltaLatitude;
    sums->lat2 += point->deltaLatitude * point->deltaLatitude;
    sums->lon += point->deltaLongitude;
    sums->lon2 += point->deltaLongitude * point->deltaLongitude;

    const double he = std::sqrt(point->deltaLatitude * point->deltaLatitude +
                                point->deltaLongitude * point->deltaLongitude);
    point->individualCE = he;
    sums->n += 1;
    sums->he += he;
    sums->he2 += he * he;
    const double teCircularSigma = point->teCE90 / kCircular90;
    sums->teCircular += teCircularSigma * teCircularSigma;

    point->deltaElevation = point->measuredElevation - point->teElevation;
    point->individualLE = point->deltaElevation;
    sums->elevation += point->deltaElevation;
    sums->elevation2 += point->deltaElevation * point->deltaElevation;
    const double teLinearSigma = point->teLE90 / kLinear90;
    sums->teLinear += teLinearSigma * teLinearSigma;
    sums->mensuration += point->mensurationError * point->mensurationError;
    return true;
}

static void StoreStatistics(ZOT_Data *zotData, const ErrorSums *sums) {
    const double n = sums->n;
    const double mensurationRms = std::sqrt(sums->mensuration / n);
    zotData->meanHE = sums->he / n;
    zotData->meanLatError = sums->lat / n;
    zotData->meanLonError = sums->lon / n;
    zotData->meanVE = sums->elevation / n;

    const double teCircularSigma = std::sqrt(sums->teCircular / n);
    zotData->stdDevHE = StandardDeviation(sums->he2 / n, zotData->meanHE);
    zotData->stdDevLatError = StandardDeviation(sums->lat2 / n, zotData->meanLatError);
    zotData->stdDevLonError = StandardDeviation(sums->lon2 / n, zotData->meanLonError);
    zotData->ce90 = NinetyPercentValue(zotData->meanHE, zotData->stdDevHE);
    const double teCircular90 = kCircular90 * teCircularSigma;
    zotData->ce90WithMensuration = std::sqrt(zotData->ce90 * zotData->ce90 + mensurationRms * mensurationRms +
                                             teCircular90 * teCircular90);

    const double teLinearSigma = std::sqrt(sums->teLinear / n);
    zotData->stdDevVE = StandardDeviation(sums->elevation2 / n, zotData->meanVE);
    zotData->le90 = NinetyPercentValue(zotData->meanVE, zotData->stdDevVE);
    // The horizontal mensuration error enters the vertical value as it is.
    const double teLinear90 = kLinear90 * teLinearSigma;
    zotData->le90WithMensuration = std::sqrt(zotData->le90 * zotData->le90 + mensurationRms * mensurationRms +
                                             teLinear90 * teLinear90);
}

static void ComputeValues(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *hostErr = NULL;
    const int32_t count = zdlm_CountList(zotData->pointList, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error getting number of items in list.");
        return;
    }

    zotData->meanLatError = 0.0;
    zotData->meanLonError = 0.0;
    zotData->meanVE = 0.0;
    zotData->meanHE = 0.0;
    zotData->ce90 = 0.0;
    zotData->ce90WithMensuration = 0.0;
    zotData->le90 = 0.0;
    zotData->le90WithMensuration = 0.0;
    zotData->stdDevLatError = 0.0;
    zotData->stdDevLonError = 0.0;
    zotData->stdDevHE = 0.0;
    zotData->stdDevVE = 0.0;

    ErrorSums sums = {};
    for (int32_t index = 0; index < count; ++index) {
        ZOT_Point *point = static_cast<ZOT_Point *>(zdlm_GetAddr(zotData->pointList, index, &hostErr));
        if (point == NULL || hostErr != NULL) {
            ZOT_REPORT(err, kOperation, hostErr, "Error getting element from list.");
            return;
        }
        // A point that does not count keeps the errors it was given last.
        if (!PointCounts(point)) continue;
        if (!AddPoint(err, zotData, point, &sums)) return;
    }
    if (sums.n > 0) StoreStatistics(zotData, &sums);

    zotData->reportPending = 1;

    SetLabels(&hostErr, zotData);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error setting label values.");
        return;
    }
    if (zzui_CAUpdateAll(zotData->dataArray, &hostErr) == 0 || hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error updating cellarray.");
    }
}

void CalculateValues(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;
    if (zotData == NULL) {
        ZOT_REPORT(err, kOperation, NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        ComputeValues(err, zotData);
    }
    zerr_DeleteErrorReportEx(&localErr);
}
