// The point table's cell callbacks: each cell is a field of the point record of
// its row, shown and entered in the table's units.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "geometry/geometry.h"
#include "points/points_internal.h"

// How a number cell relates to its stored field.
enum CellConversion {
    kRaw,     // degrees or map units, as stored
    kLength,  // stored in meters, shown in the display unit (meters or feet)
    kPixels   // stored in meters, shown in pixels of averagePixelToMeter meters
};

// What follows an accepted number put.
enum PutFollowUp {
    kRecompute,           // the statistics
    kRecomputeAndMarkers  // the statistics, then the T&E markers once the position is complete
};

static const char kLookupMessage[] = "Error getting element from list.";
// The message of the puts whose lookup failure the table has always shown without a full stop.
static const char kShortLookupMessage[] = "Error getting element from list";

static void PrintReport(const char *operation, Zerr_Report *cause, const char *message) {
    Zerr_Report *report = NULL;
    ZOT_REPORT(&report, operation, cause, "%s", message);
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}

// The point record of row, or null: a failed lookup is printed under operation,
// a row that holds no point is silently empty.
static ZOT_Point *CellPoint(void *info, int32_t row, const char *operation, const char *message) {
    ZOT_Data *zotData = (ZOT_Data *)info;
    if (!zotData) return NULL;
    Zerr_Report *cause = NULL;
    ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(zotData->pointList, row, &cause);
    if (cause) {
        PrintReport(operation, cause, message);
        return NULL;
    }
    return point;
}

static bool ShownValue(const ZOT_Data *zotData, CellConversion conversion, double stored, double *shown) {
    switch (conversion) {
    case kRaw:
        *shown = stored;
        return true;
    case kLength:
        *shown = ToDisplayUnits(zotData, stored);
        return true;
    case kPixels:
        // Without a pixel size there is no pixel value to show.
        if (!(zotData->averagePixelToMeter > 0.0)) return false;
        *shown = stored / zotData->averagePixelToMeter;
        return true;
    }
    return false;
}

static double StoredValue(const ZOT_Data *zotData, CellConversion conversion, double shown) {
    switch (conversion) {
    case kRaw:
        return shown;
    case kLength:
        return FromDisplayUnits(zotData, shown);
    case kPixels:
        return shown * zotData->averagePixelToMeter;
    }
    return shown;
}

static int32_t GetNumber(void *info, int32_t row, void *value, const char *operation, double ZOT_Point::*field,
                         int32_t ZOT_Point::*shownWhen, CellConversion conversion) {
    ZOT_Point *point = CellPoint(info, row, operation, kLookupMessage);
    if (!point || !value || !(point->*shownWhen)) return 0;
    return ShownValue((const ZOT_Data *)info, conversion, point->*field, (double *)value) ? 1 : 0;
}

// Whether a value to be stored in field lies within what a point may hold;
// when not, says so in a printed report under operation.
static bool WithinLimits(const ZOT_Data *zotData, double ZOT_Point::*field, double stored, const char *operation) {
    double low = 0.0, high = 0.0;
    const char *what = NULL;
    const char *unit = " m";
    if (field == &ZOT_Point::teElevation) {
        low = -kElevationLimit, high = kElevationLimit, what = "An elevation";
    } else if (field == &ZOT_Point::teCE90 || field == &ZOT_Point::teLE90) {
        low = 0.0, high = kAccuracyLimit, what = field == &ZOT_Point::teCE90 ? "A CE90" : "An LE90";
    } else if (!zotData->unitsAreDegrees && (field == &ZOT_Point::teLatitude || field == &ZOT_Point::teLongitude)) {
        low = -kMapCoordinateLimit, high = kMapCoordinateLimit, what = "A map coordinate", unit = "";
    } else {
        return true;
    }
    if (stored >= low && stored <= high) return true;
    char message[160];
    snprintf(message, sizeof message, "%s lies from %.10g to %.10g%s; %.6g%s was not taken.", what, low, high, unit,
             stored, unit);
    PrintReport(operation, NULL, message);
    return false;
}

static int32_t PutNumber(void *info, int32_t row, const void *value, const char *operation, const char *lookupMessage,
                         double ZOT_Point::*field, int32_t ZOT_Point::*given, CellConversion conversion,
                         PutFollowUp followUp) {
    ZOT_Point *point = CellPoint(info, row, operation, lookupMessage);
    if (!point || !value) return 0;
    ZOT_Data *zotData = (ZOT_Data *)info;
    double stored = StoredValue(zotData, conversion, *(const double *)value);
    // Not a number or infinite would poison every statistic of the set.
    if (!isfinite(stored) || !WithinLimits(zotData, field, stored, operation)) return 0;
    point->*field = stored;
    point->*given = 1;

    Zerr_Report *cause = NULL;
    CalculateValues(&cause, zotData);
    if (cause) {
        PrintReport(operation, cause, "Error calculating values.");
        return 0;
    }
    if (followUp == kRecomputeAndMarkers && HasTEPosition(point)) {
        UpdateSelector(&cause, zotData, point);
        if (cause) PrintReport(operation, cause, "Error updating selector.");
    }
    return 1;
}

static int32_t GetText(void *info, int32_t row, void *value, int32_t size, const char *operation,
                       char *ZOT_Point::*field, int32_t ZOT_Point::*given) {
    if (!value || size <= 0) return 0;
    char *buffer = (char *)value;
    buffer[0] = '\0';
    ZOT_Point *point = CellPoint(info, row, operation, kLookupMessage);
    if (!point || !(point->*given) || !(point->*field)) return 0;
    // Cut to the buffer; the stored text stays whole.
    size_t length = strlen(point->*field);
    if (length > (size_t)size - 1) length = (size_t)size - 1;
    memcpy(buffer, point->*field, length);
    buffer[length] = '\0';
    return 1;
}

// Stores a heap copy of the text in field, freeing the text it replaces. Returns
// the point, or null when the edit was not taken.
static ZOT_Point *PutText(void *info, int32_t row, const void *value, const char *operation, char *ZOT_Point::*field,
                          int32_t ZOT_Point::*given) {
    ZOT_Point *point = CellPoint(info, row, operation, kLookupMessage);
    if (!point || !value) return NULL;
    char *copy = zstr_Duplicate((const char *)value);
    if (!copy) {
        PrintReport(operation, NULL, "Error creating string.");
        return NULL;
    }
    zmsc_HeapFree(point->*field);
    point->*field = copy;
    point->*given = 1;
    ((ZOT_Data *)info)->reportPending = 1;
    return point;
}

static int32_t GetColor(void *info, int32_t row, void *value, const char *operation, double (ZOT_Point::*field)[4]) {
    ZOT_Point *point = CellPoint(info, row, operation, kLookupMessage);
    if (!point || !value) return 0;
    memcpy(value, point->*field, sizeof(point->*field));
    return 1;
}

static int32_t PutColor(void *info, int32_t row, const void *value, const char *operation,
                        double (ZOT_Point::*field)[4], Zdis_Selector *(ZOT_Point::*markers)[2]) {
    ZOT_Point *point = CellPoint(info, row, operation, kShortLookupMessage);
    if (!point || !value) return 0;
    const double *color = (const double *)value;
    for (int32_t component = 0; component < 4; component++) {
        if (!isfinite(color[component])) return 0;
    }
    memcpy(point->*field, color, sizeof(point->*field));

    ZOT_Data *zotData = (ZOT_Data *)info;
    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images; image++) {
        Zdis_Selector *marker = (point->*markers)[image];
        if (!marker) continue;
        for (int32_t pane = 0; pane < 2; pane++) {
            Zerr_Report *cause = NULL;
            zdis_SelNewSetColor(marker, zotData->viewWindow[image][pane], color[0], color[1], color[2], &cause);
            if (cause) {
                PrintReport(operation, cause, "Error setting selector color.");
                return 0;
            }
        }
    }
    return 1;
}

int32_t IDGetCB(void *info, int32_t row, int32_t, void *value, int32_t size) {
    return GetText(info, row, value, size, "IDGetCB", &ZOT_Point::pointId, &ZOT_Point::hasPointId);
}

int32_t IDPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    ZOT_Point *point = PutText(info, row, value, "IDPutCB", &ZOT_Point::pointId, &ZOT_Point::hasPointId);
    if (!point) return 0;
    ZOT_Data *zotData = (ZOT_Data *)info;
    // The labels always follow the new ID; the T&E markers are placed only for a
    // complete position, never from the zeros of coordinates not yet given.
    if (HasTEPosition(point)) {
        Zerr_Report *cause = NULL;
        UpdateSelector(&cause, zotData, point);
        if (cause) PrintReport("IDPutCB", cause, "Error updating selector.");
    } else {
        RelabelMeasurementMarkers(zotData, point);
    }
    return 1;
}

int32_t TELatitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "TELatitudeGetCB", &ZOT_Point::teLatitude, &ZOT_Point::hasTELatitude, kRaw);
}

int32_t TELatitudePutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "TELatitudePutCB", kShortLookupMessage, &ZOT_Point::teLatitude,
                     &ZOT_Point::hasTELatitude, kRaw, kRecomputeAndMarkers);
}

int32_t TELongitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "TELongitudeGetCB", &ZOT_Point::teLongitude, &ZOT_Point::hasTELongitude,
                     kRaw);
}

int32_t TELongitudePutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "TELongitudePutCB", kShortLookupMessage, &ZOT_Point::teLongitude,
                     &ZOT_Point::hasTELongitude, kRaw, kRecomputeAndMarkers);
}

int32_t TEElevationGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "TEElevationGetCB", &ZOT_Point::teElevation, &ZOT_Point::hasTEElevation,
                     kLength);
}

int32_t TEElevationPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "TEElevationPutCB", kShortLookupMessage, &ZOT_Point::teElevation,
                     &ZOT_Point::hasTEElevation, kLength, kRecomputeAndMarkers);
}

int32_t TEColorGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetColor(info, row, value, "TEColorGetCB", &ZOT_Point::teColor);
}

int32_t TEColorPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutColor(info, row, value, "TEColorPutCB", &ZOT_Point::teColor, &ZOT_Point::teSelector);
}

int32_t TECE90GetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "TECE90GetCB", &ZOT_Point::teCE90, &ZOT_Point::hasTECE90, kLength);
}

int32_t TECE90PutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "TECE90PutCB", kShortLookupMessage, &ZOT_Point::teCE90,
                     &ZOT_Point::hasTECE90, kLength, kRecompute);
}

int32_t TELE90GetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "TELE90GetCB", &ZOT_Point::teLE90, &ZOT_Point::hasTELE90, kLength);
}

int32_t TELE90PutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "TELE90PutCB", kShortLookupMessage, &ZOT_Point::teLE90,
                     &ZOT_Point::hasTELE90, kLength, kRecompute);
}

int32_t TEPointDescriptionGetCB(void *info, int32_t row, int32_t, void *value, int32_t size) {
    return GetText(info, row, value, size, "TEPointDescriptionGetCB", &ZOT_Point::teDescription,
                   &ZOT_Point::hasTEDescription);
}

int32_t TEPointDescriptionPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutText(info, row, value, "TEPointDescriptionPutCB", &ZOT_Point::teDescription,
                   &ZOT_Point::hasTEDescription)
               ? 1
               : 0;
}

int32_t MeasuredLatitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "MeasuredLatitudeGetCB", &ZOT_Point::measuredLatitude, &ZOT_Point::isMeasured,
                     kRaw);
}

int32_t MeasuredLongitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "MeasuredLongitudeGetCB", &ZOT_Point::measuredLongitude,
                     &ZOT_Point::isMeasured, kRaw);
}

int32_t MeasuredElevationGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "MeasuredElevationGetCB", &ZOT_Point::measuredElevation,
                     &ZOT_Point::isMeasured, kLength);
}

int32_t MeasuredColorGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetColor(info, row, value, "MeasuredColorGetCB", &ZOT_Point::measuredColor);
}

int32_t MeasuredColorPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutColor(info, row, value, "MeasuredColorPutCB", &ZOT_Point::measuredColor, &ZOT_Point::measuredSelector);
}

int32_t DeltaLatitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "DeltaLatitudeGetCB", &ZOT_Point::deltaLatitude, &ZOT_Point::isMeasured,
                     kLength);
}

int32_t DeltaLongitudeGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "DeltaLongitudeGetCB", &ZOT_Point::deltaLongitude, &ZOT_Point::isMeasured,
                     kLength);
}

int32_t DeltaElevationGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "DeltaElevationGetCB", &ZOT_Point::deltaElevation, &ZOT_Point::isMeasured,
                     kLength);
}

int32_t MensurationErrorGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "MensurationErrorGetCB", &ZOT_Point::mensurationError,
                     &ZOT_Point::hasMensurationError, kPixels);
}

int32_t MensurationErrorPutCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return PutNumber(info, row, value, "MensurationErrorPutCB", kLookupMessage, &ZOT_Point::mensurationError,
                     &ZOT_Point::hasMensurationError, kPixels, kRecompute);
}

int32_t IndividualCEGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "IndividualCEGetCB", &ZOT_Point::individualCE, &ZOT_Point::isMeasured,
                     kLength);
}

int32_t IndividualLEGetCB(void *info, int32_t row, int32_t, void *value, int32_t) {
    return GetNumber(info, row, value, "IndividualLEGetCB", &ZOT_Point::individualLE, &ZOT_Point::isMeasured,
                     kLength);
}
