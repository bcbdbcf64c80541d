// The point table: layout, labels, adding, inserting and deleting rows, units.
#include "geometry/geometry.h"
#include "points/points_internal.h"

// Cell callbacks are handed to the host as pointers of its callback type.
#define ZOT_CELL(callback) ((Zzui_CellCallback)(callback))

// The point table's columns, in the order of the cell array of ui/af_zot.zml
// (column 0 is the row header). On a map image the latitude and longitude
// columns show Y and X.
enum PointTableColumn {
    kRowHeaderColumn,
    kIDColumn,
    kTELatitudeColumn,
    kTELongitudeColumn,
    kTEElevationColumn,
    kTEColorColumn,
    kTECE90Column,
    kTELE90Column,
    kTEDescriptionColumn,
    kMeasuredLatitudeColumn,
    kMeasuredLongitudeColumn,
    kMeasuredElevationColumn,
    kMeasuredColorColumn,
    kDeltaLatitudeColumn,
    kDeltaLongitudeColumn,
    kDeltaElevationColumn,
    kMensurationErrorColumn,
    kIndividualHEColumn,
    kIndividualVEColumn,
    kColumnCount
};

// The table parameters of a column whose cells the user may edit, and of one
// whose cells he may only read; both selectable, with the record as cell info.
#define ZOT_EDITABLE_COLUMN(column, get, put)                                                                  \
    "column", (int32_t)(column), "selectflag", on, "getcellvalue", ZOT_CELL(get), "putcellvalue", ZOT_CELL(put), \
        "cellinfo", (void *)zotData
#define ZOT_READ_ONLY_COLUMN(column, get) \
    "column", (int32_t)(column), "selectflag", on, "getcellvalue", ZOT_CELL(get), "cellinfo", (void *)zotData

// err is never null here.
static void ShowFrameAndTable(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    if (zotData->imageCount == 1) zzml_PartTitleSet(zotData->leftCountLabel, "Points:");
    zzml_FrameDisplay(zotData->frame, &cause);
    if (cause) {
        ZOT_REPORT(err, "Display", cause, "Error displaying frame.");
        return;
    }

    // Along the bottom of the screen, full width, keeping its height.
    Zzml_Root *root = zzml_GetTheRoot();
    if (root) {
        int32_t screenWidth = 0, screenHeight = 0, x = 0, y = 0, width = 0, height = 0;
        zzml_WinInfoGetScreenSize(root->winInfo, &screenWidth, &screenHeight);
        zzml_FrameGeometryGet(zotData->frame, &x, &y, &width, &height);
        zzml_FrameGeometrySet(zotData->frame, 0, screenHeight - height, screenWidth, height);
    }

    const int32_t on = 1;
    zzml_SetParameters(
        zotData->dataArray, &cause, "rowcount", (int32_t)0, "columncount", (int32_t)kColumnCount, "deleteenable", on,
        "deletecallback", (Zzui_DeleteCallback)deleteCB, "deleteinfo", (void *)zotData, "insertenable", on,
        "insertcallback", (Zzui_InsertCallback)insertCB, "insertinfo", (void *)zotData,
        "column", (int32_t)kRowHeaderColumn, "selectflag", on, "cellinfo", (void *)zotData,
        "exclusivechangecallback", (Zzui_ExclusiveChangeCallback)ExclusiveChangeCB, "exclusivechangeinfo",
        (void *)zotData,
        ZOT_EDITABLE_COLUMN(kIDColumn, IDGetCB, IDPutCB),
        ZOT_EDITABLE_COLUMN(kTELatitudeColumn, TELatitudeGetCB, TELatitudePutCB),
        ZOT_EDITABLE_COLUMN(kTELongitudeColumn, TELongitudeGetCB, TELongitudePutCB),
        ZOT_EDITABLE_COLUMN(kTEElevationColumn, TEElevationGetCB, TEElevationPutCB),
        ZOT_EDITABLE_COLUMN(kTEColorColumn, TEColorGetCB, TEColorPutCB),
        ZOT_EDITABLE_COLUMN(kTECE90Column, TECE90GetCB, TECE90PutCB),
        ZOT_EDITABLE_COLUMN(kTELE90Column, TELE90GetCB, TELE90PutCB),
        ZOT_EDITABLE_COLUMN(kTEDescriptionColumn, TEPointDescriptionGetCB, TEPointDescriptionPutCB),
        ZOT_READ_ONLY_COLUMN(kMeasuredLatitudeColumn, MeasuredLatitudeGetCB),
        ZOT_READ_ONLY_COLUMN(kMeasuredLongitudeColumn, MeasuredLongitudeGetCB),
        ZOT_READ_ONLY_COLUMN(kMeasuredElevationColumn, MeasuredElevationGetCB),
        ZOT_EDITABLE_COLUMN(kMeasuredColorColumn, MeasuredColorGetCB, MeasuredColorPutCB),
        ZOT_READ_ONLY_COLUMN(kDeltaLatitudeColumn, DeltaLatitudeGetCB),
        ZOT_READ_ONLY_COLUMN(kDeltaLongitudeColumn, DeltaLongitudeGetCB),
        ZOT_READ_ONLY_COLUMN(kDeltaElevationColumn, DeltaElevationGetCB),
        ZOT_EDITABLE_COLUMN(kMensurationErrorColumn, MensurationErrorGetCB, MensurationErrorPutCB),
        ZOT_READ_ONLY_COLUMN(kIndividualHEColumn, IndividualCEGetCB),
        ZOT_READ_ONLY_COLUMN(kIndividualVEColumn, IndividualLEGetCB), (const char *)NULL);
    if (cause) {
        ZOT_REPORT(err, "Display", cause, "Error setting cellarray parameters");
        return;
    }

    if (zotData->unitsAreDegrees) {
        zzml_SetParameters(zotData->dataArray, &cause, "column", (int32_t)kTELatitudeColumn, "columnformat",
                           "dg mm ssssss N/S", "column", (int32_t)kMeasuredLatitudeColumn, "columnformat",
                           "dg mm ssssss N/S", "column", (int32_t)kTELongitudeColumn, "columnformat",
                           "dg mm ssssss E/W", "column", (int32_t)kMeasuredLongitudeColumn, "columnformat",
                           "dg mm ssssss E/W", (const char *)NULL);
    } else {
        // X (easting) is the longitude field and comes first; Y is the latitude field.
        zzml_SetParameters(
            zotData->dataArray, &cause, "column", (int32_t)kTELatitudeColumn, "columntitle", "T&E X", "getcellvalue",
            ZOT_CELL(TELongitudeGetCB), "putcellvalue", ZOT_CELL(TELongitudePutCB),
            "column", (int32_t)kTELongitudeColumn, "columntitle", "T&E Y", "getcellvalue", ZOT_CELL(TELatitudeGetCB),
            "putcellvalue", ZOT_CELL(TELatitudePutCB),
            "column", (int32_t)kMeasuredLatitudeColumn, "columntitle", "Measured X", "getcellvalue",
            ZOT_CELL(MeasuredLongitudeGetCB),
            "column", (int32_t)kMeasuredLongitudeColumn, "columntitle", "Measured Y", "getcellvalue",
            ZOT_CELL(MeasuredLatitudeGetCB),
            "column", (int32_t)kDeltaLatitudeColumn, "columntitle", "Delta X", "selectflag", on, "getcellvalue",
            ZOT_CELL(DeltaLongitudeGetCB),
            "column", (int32_t)kDeltaLongitudeColumn, "columntitle", "Delta Y", "selectflag", on, "getcellvalue",
            ZOT_CELL(DeltaLatitudeGetCB), (const char *)NULL);
    }
    if (cause) ZOT_REPORT(err, "Display", cause, "Error setting cellarray parameters");
}

void Display(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData)
        ZOT_REPORT(slot, "Display", NULL, "Invalid ZOT_Data * passed to the function.");
    else
        ShowFrameAndTable(slot, zotData);
    zerr_DeleteErrorReportEx(&local);
}

// Shows text (a new heap string or null, freed here) in a label. formatCause is
// the report of making the text. Returns false after reporting under "SetLabels".
static bool ShowInLabel(Zerr_Report **err, Zzml_Part *label, char *text, Zerr_Report *formatCause) {
    if (formatCause || !text) {
        zmsc_HeapFree(text);
        ZOT_REPORT(err, "SetLabels", formatCause, "Error creating string.");
        return false;
    }
    Zerr_Report *cause = NULL;
    zzml_StringPartValueSet(label, text, &cause);
    zmsc_HeapFree(text);
    if (cause) {
        ZOT_REPORT(err, "SetLabels", cause, "Error setting string value.");
        return false;
    }
    return true;
}

// err is never null here.
static void WriteLabels(Zerr_Report **err, ZOT_Data *zotData) {
    Zzml_Part *labels[4] = {zotData->avgCELabel, zotData->avgLELabel, zotData->ce90Label, zotData->le90Label};
    double values[4] = {zotData->meanHE, zotData->meanVE, zotData->ce90WithMensuration,
                        zotData->le90WithMensuration};
    for (int32_t index = 0; index < 4; index++) {
        Zerr_Report *cause = NULL;
        char *text = zstr_Sprintf(NULL, "%.3f", &cause, ToDisplayUnits(zotData, values[index]));
        if (!ShowInLabel(err, labels[index], text, cause)) return;
    }
    Zzml_Part *countLabels[2] = {zotData->leftCountLabel, zotData->rightCountLabel};
    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images; image++) {
        Zerr_Report *cause = NULL;
        int32_t count = zdlm_CountList(zotData->imagePickList[image], &cause);
        if (cause) {
            ZOT_REPORT(err, "SetLabels", cause, "Error returned by zdlm_CountList.");
            return;
        }
        char *text = zstr_Sprintf(NULL, "%d", &cause, count);
        if (!ShowInLabel(err, countLabels[image], text, cause)) return;
    }
}

void SetLabels(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData)
        ZOT_REPORT(slot, "SetLabels", NULL, "Invalid ZOT_Data * passed to the function.");
    else
        WriteLabels(slot, zotData);
    zerr_DeleteErrorReportEx(&local);
}

// Tells the table how many points there are. Reports under operation; false on failure.
static bool UpdateRowCount(Zerr_Report **err, const char *operation, const char *setMessage, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    int32_t count = zdlm_CountList(zotData->pointList, &cause);
    if (cause) {
        ZOT_REPORT(err, operation, cause, "Error getting number of items in list.");
        return false;
    }
    zzml_SetParameters(zotData->dataArray, &cause, "rowcount", count, (const char *)NULL);
    if (cause) {
        ZOT_REPORT(err, operation, cause, "%s", setMessage);
        return false;
    }
    return true;
}

int32_t ZOT_AddRow(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_AddRow", NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        ZOT_Point point;
        InitNewPoint(zotData, &point);
        Zerr_Report *cause = NULL;
        zdlm_Add(zotData->pointList, &point, &cause);
        if (cause)
            ZOT_REPORT(slot, "ZOT_AddRow", cause, "Error adding element to list.");
        else
            UpdateRowCount(slot, "ZOT_AddRow", "Error setting cellarray parameters.", zotData);
    }
    zerr_DeleteErrorReportEx(&local);
    return 0;
}

// Returns the report to print, or null.
static Zerr_Report *InsertRow(ZOT_Data *zotData, int32_t after, int32_t row) {
    Zerr_Report *report = NULL;
    Zerr_Report *cause = NULL;
    ZOT_Point point;
    InitNewPoint(zotData, &point);
    int32_t index = row;
    if (after) {
        int32_t count = zdlm_CountList(zotData->pointList, &cause);
        if (cause) {
            ZOT_REPORT(&report, "insertCB", cause, "Error getting number of items in list.");
            return report;
        }
        if (row < count - 1) {
            index = row + 1;
            zdlm_Insert(zotData->pointList, index, &point, &cause);
        } else {
            index = count;
            zdlm_Add(zotData->pointList, &point, &cause);
        }
    } else {
        zdlm_Insert(zotData->pointList, index, &point, &cause);
    }
    if (cause) {
        ZOT_REPORT(&report, "insertCB", cause, "Error adding element to list.");
        return report;
    }
    // A row that lands at or above the current point pushes that point down by one
    // (it now stands at currentRow + 1); the current row follows it so that
    // measurements still go to the same point.
    Zerr_Report *ignored = NULL;
    bool pushedDown = index <= zotData->currentRow &&
                      zdlm_GetAddr(zotData->pointList, zotData->currentRow + 1, &ignored) != NULL;
    zerr_DeleteErrorReportEx(&ignored);
    if (pushedDown) {
        zotData->currentRow++;
        zzui_CASetExclusiveRow(zotData->dataArray, 0, zotData->currentRow, &cause);
        if (cause) {
            ZOT_REPORT(&report, "insertCB", cause, "Error returned by zzui_CASetExclusiveRow.");
            return report;
        }
    }
    UpdateRowCount(&report, "insertCB", "Error setting cellarray parameters.", zotData);
    return report;
}

void insertCB(void *info, int32_t after, int32_t row) {
    ZOT_Data *zotData = (ZOT_Data *)info;
    if (!zotData) return;
    Zerr_Report *report = InsertRow(zotData, after, row);
    if (!report) return;
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}

// The current row after row deleted was deleted and count rows remain.
static int32_t CurrentRowAfterDelete(int32_t current, int32_t deleted, int32_t count) {
    if (deleted < current) return current - 1;
    if (deleted > current) return current;
    // The current point itself went: the next one moves into place, or, when it
    // was the last row, the row above becomes current.
    if (count == current) return count == 0 ? 0 : current - 1;
    return current;
}

// Returns the report to print, or null. The selection is freed on every path.
static Zerr_Report *DeleteRows(ZOT_Data *zotData) {
    Zerr_Report *report = NULL;
    Zerr_Report *cause = NULL;
    int32_t rowCount = 0;
    Zsel_Selection *selection = NULL;
    zzml_GetValues(zotData->dataArray, &cause, "rowcount", &rowCount, "selection", &selection, (const char *)NULL);
    if (cause) {
        zsel_SelectionDeleteSelection(selection);
        ZOT_REPORT(&report, "deleteCB", cause, "Error getting values from cellarray.");
        return report;
    }
    if (!selection || zsel_SelectionCount(selection) == 0) {
        zsel_SelectionDeleteSelection(selection);
        return NULL;
    }
    int32_t count = rowCount;
    for (int32_t row = rowCount - 1; row >= 0; row--) {
        if (!zsel_SelectionIsSet(selection, row)) continue;
        count--;
        zotData->currentRow = CurrentRowAfterDelete(zotData->currentRow, row, count);
        zzui_CASetExclusiveRow(zotData->dataArray, 0, zotData->currentRow, &cause);
        if (cause) {
            zsel_SelectionDeleteSelection(selection);
            ZOT_REPORT(&report, "deleteCB", cause, "Error returned by zzui_CASetExclusiveRow.");
            return report;
        }
        ClearImageCoordinates(zotData);
        DeletePoint(zotData->pointList, row);
    }
    zsel_SelectionDeleteSelection(selection);
    zzml_SetParameters(zotData->dataArray, &cause, "rowcount", count, (const char *)NULL);
    if (cause) {
        ZOT_REPORT(&report, "deleteCB", cause, "Error setting parameters.");
        return report;
    }
    CalculateValues(&cause, zotData);
    if (cause) ZOT_REPORT(&report, "deleteCB", cause, "Error calculating values.");
    return report;
}

void deleteCB(void *info) {
    ZOT_Data *zotData = (ZOT_Data *)info;
    if (!zotData) return;
    Zerr_Report *report = DeleteRows(zotData);
    if (!report) return;
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}

int32_t ZOT_UpdateUnits(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_UpdateUnits", NULL, "Invalid ZOT_Data * passed to the function.");
    } else {
        zotData->distanceUnits = zstr_CompareString(zzml_PartValueGet(zotData->unitsToggle), "Feet") == 0 ? 1 : 0;
        Zerr_Report *cause = NULL;
        SetLabels(&cause, zotData);
        if (cause) {
            ZOT_REPORT(slot, "ZOT_UpdateUnits", cause, "Error setting values.");
        } else {
            zzui_CAUpdateAll(zotData->dataArray, &cause);
            if (cause) ZOT_REPORT(slot, "ZOT_UpdateUnits", cause, "Error updating cellarray.");
        }
    }
    zerr_DeleteErrorReportEx(&local);
    return 0;
}
