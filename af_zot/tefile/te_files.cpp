// Opening a T&E file into the tool's points, and saving the points to one.
#include "tefile/te_files.h"

#include <algorithm>
#include <stdexcept>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "boundary/boundary.h"
#include "boundary/output_file.h"
#include "geometry/geometry.h"
#include "points/points.h"
#include "tefile/te_point_loader.h"
#include "zerrexception.h"

// The capacity hint of a new point list.
static const int32_t kPointListGrowth = 256;
// The most points an open makes room for before it has read them (about 1 GiB).
static const size_t kMostPointsAtOnce = size_t{1} << 22;

// A reference point as the tool holds it: the T&E values, every has-flag set,
// the record's default colours, no markers yet. The texts are heap copies owned
// by point; a copy that could not be made is left null.
static void MakePoint(const ZOT_Data *zotData, const TEPoint &tePoint, ZOT_Point *point) {
    InitNewPoint(zotData, point);
    point->pointId = zstr_Duplicate(tePoint.id.c_str());
    point->teDescription = zstr_Duplicate(tePoint.description.c_str());
    point->teLatitude = tePoint.latitude;
    point->teLongitude = tePoint.longitude;
    point->teElevation = tePoint.elevation;
    point->teCE90 = tePoint.circularError90;
    point->teLE90 = tePoint.linearError90;
    point->hasPointId = 1;
    point->hasTELongitude = 1;
    point->hasTELatitude = 1;
    point->hasTEElevation = 1;
    point->hasTECE90 = 1;
    point->hasTELE90 = 1;
    point->hasTEDescription = 1;
    point->hasMensurationError = 1;
}

// Releases what a point record that never reached the list owns.
static void ReleasePoint(ZOT_Point *point) {
    for (int32_t image = 0; image < 2; image++) {
        Zerr_Report *ignored = NULL;
        if (point->teSelector[image]) zdis_SelNewDestroy(point->teSelector[image], &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        point->teSelector[image] = NULL;
    }
    zmsc_HeapFree(point->pointId);
    zmsc_HeapFree(point->teDescription);
    point->pointId = NULL;
    point->teDescription = NULL;
}

// Sets the table's row count; a failure is the caller's through the slot.
static void SetRowCount(Zerr_Report **slot, ZOT_Data *zotData, int32_t count) {
    zzml_SetParameters(zotData->dataArray, slot, "rowcount", count, (const char *)NULL);
}

// A failure here does not undo the open; it is shown to the user.
static void RecomputeAfterOpen(ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    CalculateValues(&cause, zotData);
    if (!cause) return;
    Zerr_Report *report = NULL;
    ZOT_REPORT(&report, "ZOT_OpenTEFile", cause, "Error calculating values.");
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}

// Releases a list of points that never became the tool's, and the list.
static void DiscardPoints(Zdlm_List **list) {
    if (!*list) return;
    DeleteAllPoints(*list);
    Zerr_Report *ignored = NULL;
    zdlm_FreeList(list, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    *list = NULL;
}

// A latitude beyond a pole places a marker somewhere, but no ground length can
// be computed for it, so every later statistic would fail; such a file is
// refused before anything of the tool changes. Raises through zerr.
static void RefuseLatitude(ZerrException &zerr, double latitude, int line) {
    char message[160];
    snprintf(message, sizeof message, "Latitude %.10g on line %d of the T&E file lies beyond a pole.", latitude, line);
    zerr.Throw(__LINE__, message);
}

// Values beyond what a point may hold (a typing or a unit error, whose squares
// would overflow the statistics) make the file invalid, as a malformed field does.
static void RefuseAbsurdValues(const TEPoint &point, bool degrees, int line) {
    const struct {
        const char *field;
        double value, low, high;
        const char *range;
    } checks[] = {
        {"field 2 (X)", point.longitude, -kMapCoordinateLimit, kMapCoordinateLimit, "-1e9 to 1e9"},
        {"field 3 (Y)", point.latitude, -kMapCoordinateLimit, kMapCoordinateLimit, "-1e9 to 1e9"},
        {"field 4 (elevation)", point.elevation, -kElevationLimit, kElevationLimit, "-100000 to 100000 m"},
        {"field 5 (CE90)", point.circularError90, 0.0, kAccuracyLimit, "0 to 100000 m"},
        {"field 6 (LE90)", point.linearError90, 0.0, kAccuracyLimit, "0 to 100000 m"},
    };
    // Latitudes and longitudes have limits of their own.
    for (size_t index = degrees ? 2 : 0; index < sizeof checks / sizeof checks[0]; ++index) {
        if (checks[index].value >= checks[index].low && checks[index].value <= checks[index].high) continue;
        char problem[160];
        snprintf(problem, sizeof problem, "%.10g lies outside %s", checks[index].value, checks[index].range);
        throw TEFormatException(line, checks[index].field, problem);
    }
}

// True when a point of the tool is measured.
static bool HasMeasurements(ZOT_Data *zotData) {
    Zerr_Report *ignored = NULL;
    int32_t count = zdlm_CountList(zotData->pointList, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    for (int32_t index = 0; index < count; index++) {
        const ZOT_Point *point = (const ZOT_Point *)zdlm_GetAddr(zotData->pointList, index, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        if (point && point->isMeasured) return true;
    }
    return false;
}

// Keeps the name of the file the points are in, so that no report replaces it unasked.
static void RememberTEFile(ZOT_Data *zotData, const char *fileName) {
    char *copy = zstr_Duplicate(fileName);
    if (!copy) return;
    zmsc_HeapFree(zotData->teFileName);
    zotData->teFileName = copy;
}

// Places the T&E markers of the first count points of list. Raises through zerr.
static void PlaceAllTEMarkers(ZerrException &zerr, ZOT_Data *zotData, Zdlm_List *list, int32_t count) {
    // In mono every point goes through the one image's transform.
    GroundToImageRun run;
    BeginGroundToImageRun(&run, zotData->fileToMap[0]);
    try {
        for (int32_t index = 0; index < count; index++) {
            ZOT_Point *point = (ZOT_Point *)zdlm_GetAddr(list, index, zerr.Slot());
            zerr.Check(__LINE__);
            if (!point) zerr.Throw(__LINE__, "Error getting element from list");
            PlaceTEMarkers(zerr.Slot(), zotData, point, &run);
            zerr.Check(__LINE__);
        }
    } catch (...) {
        EndGroundToImageRun(&run);
        throw;
    }
    EndGroundToImageRun(&run);
}

void ZOT_OpenTEFile(ZOT_Data *zotData, int32_t argc, char **argv) {
    ZerrException zerr("af_zot", "ZOT_OpenTEFile");
    char *fileName = NULL;
    // The record being made for the next T&E point, until the new list takes it.
    ZOT_Point pending;
    memset(&pending, 0, sizeof pending);
    bool pendingOwned = false;
    // The new points with their markers, until they replace the tool's points:
    // a point that cannot be placed leaves the tool's points as they were.
    Zdlm_List *newPoints = NULL;
    // From the moment the old points are gone until the table is told the new count.
    bool replacing = false;
    try {
        if (!zotData) zerr.Throw(__LINE__, "Invalid ZOT_Data * passed to the function.");
        if (argc < 1 || !argv || !argv[0]) zerr.Throw(__LINE__, "Insufficient arguments passed to the function.");
        fileName = zstr_Duplicate(argv[0]);
        if (!fileName) zerr.Throw(__LINE__, "Error creating string.");
        // The list is made once the file's size tells about how many points
        // come, with room for them all, so that it is not moved again and again
        // while it grows (a file that holds more lines than its first block
        // suggests still grows it; the records may move until the markers are
        // placed, once every line is in). Room made at once is capped, so that a
        // file whose first lines are short asks for no more than it may need.
        const auto makeList = [&](size_t expected) {
            const size_t room = std::min(expected + expected / 16 + 16, kMostPointsAtOnce);
            const int32_t growth = std::max(static_cast<int32_t>(room), kPointListGrowth);
            newPoints = zdlm_InitList(sizeof(ZOT_Point), growth, zerr.Slot());
            zerr.Check(__LINE__);
        };
        // Each line read becomes a point record in the new list at once (the
        // file's points are never held twice). A file that cannot be read or
        // that holds an invalid line raises here, before anything of the tool
        // has changed; so does a latitude beyond a pole, once every line has
        // been read.
        const bool degrees = zotData->unitsAreDegrees != 0;
        int beyondPoleLine = 0;
        double beyondPole = 0.0;
        TEPointLoader loader;
        loader.readFile(fileName, degrees, [&](TEPoint &tePoint, int line) {
            RefuseAbsurdValues(tePoint, degrees, line);
            if (degrees && !beyondPoleLine && !(tePoint.latitude >= -90.0 && tePoint.latitude <= 90.0)) {
                beyondPoleLine = line;
                beyondPole = tePoint.latitude;
            }
            MakePoint(zotData, tePoint, &pending);
            pendingOwned = true;
            if (!pending.pointId || !pending.teDescription) zerr.Throw(__LINE__, "Error creating string.");
            zdlm_Add(newPoints, &pending, zerr.Slot());
            zerr.Check(__LINE__);
            pendingOwned = false;
        }, makeList);
        if (!newPoints) makeList(0);
        if (beyondPoleLine) RefuseLatitude(zerr, beyondPole, beyondPoleLine);
        // The measurements about to be replaced are offered for a report first,
        // as closing offers them.
        if (zotData->reportPending && HasMeasurements(zotData)) OfferReport(zotData, "ZOT_OpenTEFile", true);

        const int32_t count = zdlm_CountList(newPoints, zerr.Slot());
        zerr.Check(__LINE__);
        PlaceAllTEMarkers(zerr, zotData, newPoints, count);
        // The table shows no rows while its list is exchanged.
        SetRowCount(zerr.Slot(), zotData, 0);
        zerr.Check(__LINE__);
        Zdlm_List *oldPoints = zotData->pointList;
        zotData->pointList = newPoints;
        newPoints = NULL;
        replacing = true;
        DiscardPoints(&oldPoints);
        zotData->reportPending = 1;
        SetRowCount(zerr.Slot(), zotData, count);
        zerr.Check(__LINE__);
        replacing = false;
        RememberTEFile(zotData, fileName);
        // Picks pending for a point that is gone would measure the new first point.
        ClearImageCoordinates(zotData);
        // The statistics, labels and table cells of the points just dropped must
        // not outlive them.
        RecomputeAfterOpen(zotData);
        // Row 0 is current also when the file held no points, so that currentRow
        // never points past the end of the new list.
        zotData->currentRow = 0;
        if (count != 0) {
            zzui_CASetExclusiveRow(zotData->dataArray, 0, 0, zerr.Slot());
            zerr.Check(__LINE__);
            DriveTo(zerr.Slot(), zotData);
            zerr.Check(__LINE__);
        }
    } catch (const TEFormatException &invalid) {
        // The message stays the format's own; what was wrong, and where, is its cause.
        *zerr.Slot() = zerr_CreateErrorReport("TEPointLoader::processLine", invalid.get_LineNum(), 2, NULL, "%s",
                                              invalid.detail().c_str());
        zerr.Log(__LINE__, invalid);
    } catch (const ZarvoLog::Exception &caught) {
        zerr.Log(__LINE__, caught);
    } catch (const std::exception &caught) {
        zerr.Log(__LINE__, caught.what());
    } catch (...) {
        zerr.Log(__LINE__);
    }
    if (pendingOwned) ReleasePoint(&pending);
    DiscardPoints(&newPoints);
    if (replacing) {
        // The table shows exactly the points of the list.
        Zerr_Report *ignored = NULL;
        int32_t count = zdlm_CountList(zotData->pointList, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
        SetRowCount(&ignored, zotData, count);
        zerr_DeleteErrorReportEx(&ignored);
    }
    zmsc_HeapFree(fileName);
}

// Copies the reference values of every point; every point is written whatever
// its flags say, and no measured value. err is never null here.
static bool CollectPoints(Zerr_Report **err, ZOT_Data *zotData, std::vector<TEPoint> &tePoints) {
    Zerr_Report *cause = NULL;
    int32_t count = zdlm_CountList(zotData->pointList, &cause);
    if (cause) {
        ZOT_REPORT(err, "ZOT_SaveTEFile", cause, "Error getting number of items in list.");
        return false;
    }
    tePoints.reserve((size_t)count);
    for (int32_t index = 0; index < count; index++) {
        const ZOT_Point *point = (const ZOT_Point *)zdlm_GetAddr(zotData->pointList, index, &cause);
        if (cause || !point) {
            ZOT_REPORT(err, "ZOT_SaveTEFile", cause, "Error getting element from list");
            return false;
        }
        TEPoint tePoint;
        tePoint.id = point->pointId ? point->pointId : "";
        tePoint.latitude = point->teLatitude;
        tePoint.longitude = point->teLongitude;
        tePoint.elevation = point->teElevation;
        tePoint.circularError90 = point->teCE90;
        tePoint.linearError90 = point->teLE90;
        tePoint.description = point->teDescription ? point->teDescription : "";
        tePoints.push_back(tePoint);
    }
    return true;
}

// err is never null here.
static void SaveTEFile(Zerr_Report **err, ZOT_Data *zotData, const char *fileName) {
    if (IsOpenImage(zotData, fileName)) {
        ZOT_REPORT(err, "ZOT_SaveTEFile", NULL, "%s is an image the tool has open; it was not overwritten.", fileName);
        return;
    }
    try {
        std::vector<TEPoint> tePoints;
        if (!CollectPoints(err, zotData, tePoints)) return;
        TEPointLoader loader;
        loader.saveFile(fileName, zotData->unitsAreDegrees != 0, tePoints);
        RememberTEFile(zotData, fileName);
    } catch (const TEFileException &caught) {
        // The system's reason (a folder missing, no permission, a full disk) is the cause.
        Zerr_Report *reason = caught.reason().empty()
                                  ? NULL
                                  : zerr_CreateErrorReport(caught.get_Operation(), caught.get_LineNum(), 2, NULL,
                                                           "%s", caught.reason().c_str());
        ZOT_REPORT(err, "ZOT_SaveTEFile", reason, "%s", caught.get_What());
    } catch (const ZarvoLog::Exception &caught) {
        ZOT_REPORT(err, "ZOT_SaveTEFile", NULL, "%s", caught.get_What());
    } catch (const std::exception &caught) {
        ZOT_REPORT(err, "ZOT_SaveTEFile", NULL, "%s", caught.what());
    } catch (...) {
        ZOT_REPORT(err, "ZOT_SaveTEFile", NULL, "Unknown failure while saving.");
    }
}

void ZOT_SaveTEFile(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_SaveTEFile", NULL, "Invalid ZOT_Data * passed to the function.");
    } else if (argc < 1 || !argv || !argv[0]) {
        ZOT_REPORT(slot, "ZOT_SaveTEFile", NULL, "Insufficient arguments passed to the function.");
    } else {
        char *fileName = zstr_Duplicate(argv[0]);
        if (!fileName)
            ZOT_REPORT(slot, "ZOT_SaveTEFile", NULL, "Error creating string.");
        else
            SaveTEFile(slot, zotData, fileName);
        zmsc_HeapFree(fileName);
    }
    zerr_DeleteErrorReportEx(&local);
}
