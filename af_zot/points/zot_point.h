// The point record and the pick coordinate record.
#ifndef ZOT_POINT_H
#define ZOT_POINT_H

#include <stdint.h>

#include "zhost.h"

struct ZOT_Data;

// One reference point with its measurement, its errors, its has-value flags and
// its markers. Latitude/longitude fields hold map Y/X for non-geographic images.
// Every length is in meters. Stored by value in ZOT_Data::pointList.
typedef struct ZOT_Point {
    char *pointId;  // heap, owned; null until given
    double teLatitude;
    double teLongitude;
    double teElevation;
    double teColor[4];
    double teCE90;
    double teLE90;
    char *teDescription;  // heap, owned; null until given
    double measuredLatitude;
    double measuredLongitude;
    double measuredElevation;
    double measuredColor[4];
    double deltaLatitude;
    double deltaLongitude;
    double deltaElevation;
    double mensurationError;  // meters; shown and entered in pixels
    double individualCE;
    double individualLE;
    int32_t isMeasured;
    int32_t hasPointId;
    int32_t hasTELongitude;
    int32_t hasTELatitude;
    int32_t hasTEElevation;
    int32_t hasTECE90;
    int32_t hasTELE90;
    int32_t hasTEDescription;
    int32_t hasMensurationError;
    Zdis_Selector *teSelector[2];        // by image; non-null exactly while the marker exists
    Zdis_Selector *measuredSelector[2];  // by image
} ZOT_Point;

// One pending pick: file row first, then file column.
typedef struct ZOT_PickCoord {
    double pickY;
    double pickX;
} ZOT_PickCoord;

// A new point: zeroed, the record's default colours, hasMensurationError 1.
void InitNewPoint(const struct ZOT_Data *zotData, ZOT_Point *point);
// Removes point index and everything it owns (markers, texts). Reports nothing.
void DeletePoint(Zdlm_List *pointList, int32_t index);
// Removes every point, last first. Reports nothing.
void DeleteAllPoints(Zdlm_List *pointList);
// Empties the pick list of every image below imageCount, last first.
void ClearImageCoordinates(struct ZOT_Data *zotData);

#endif
