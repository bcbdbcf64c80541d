// Ground lengths of coordinate differences.
#include "geometry/ground_lengths.h"

#include <cmath>

// A map-unit length in meters; false (and a report under operation) when the
// toolkit cannot convert from the record's units.
static bool MapUnitsToMeters(Zerr_Report **err, const char *operation, const ZOT_Data *zotData, double value,
                             double *meters) {
    Zerr_Report *hostErr = NULL;
    double converted = 0.0;
    if (zcvt_UnitsConvertByName(&value, zotData->mapUnits, &converted, "meters", 1, &hostErr) == 0 ||
        hostErr != NULL) {
        ZOT_REPORT(err, operation, hostErr, "Error converting value.");
        return false;
    }
    *meters = converted;
    return true;
}

// A longitude difference (degrees) the short way round, within (-180, 180]: a
// measurement at 180.001 against a reference at -179.999 lies 0.002 degrees
// away, not 359.998. Differences already within range are kept as they are.
static double ShortLongitudeDifference(double degrees) {
    if (degrees > -180.0 && degrees <= 180.0) return degrees;
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped > 180.0) {
        wrapped -= 360.0;
    } else if (wrapped <= -180.0) {
        wrapped += 360.0;
    }
    return wrapped;
}

void GroundDeltasToMeters(Zerr_Report **err, const char *operation, const ZOT_Data *zotData, double deltaY,
                          double deltaX, double latitude, double *metersY, double *metersX) {
    *err = NULL;
    if (!zotData->unitsAreDegrees) {
        if (!MapUnitsToMeters(err, operation, zotData, deltaY, metersY)) return;
        MapUnitsToMeters(err, operation, zotData, deltaX, metersX);
        return;
    }

    Zerr_Report *hostErr = NULL;
    double meters = zprj_ConvertLatSizeToMeters(zint_GetInit(), zotData->projection, deltaY, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, operation, hostErr, "Error calculating delta lat.");
        return;
    }
    *metersY = meters;
    meters = zprj_ConvertLonSizeToMeters(zint_GetInit(), zotData->projection, ShortLongitudeDifference(deltaX),
                                         latitude, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, operation, hostErr, "Error calculating delta lon.");
        return;
    }
    *metersX = meters;
}
