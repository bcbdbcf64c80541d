// The accuracy report: the statistics CalculateValues stored and every measured
// point, in the formatted (boxed, 73 columns) or the condensed (comma-separated)
// layout, each in a geographic (degrees, minutes, seconds) or a map (X, Y) form.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "boundary/output_file.h"
#include "geometry/geometry.h"
#include "points/zot_point.h"
#include "report/report.h"

static const char *const kOperation = "CreateReport";

// The open report file and whether a write has failed. Once one has, nothing
// more is written, and the report does not replace the file that was there.
typedef ZOT_OutputFile ReportFile;

#define REPORT_PRINT(out, ...) \
    ((out)->failed = (out)->failed || zfio_Fprintf((out)->file, __VA_ARGS__) < 0)

// An angle in decimal degrees as printed: the signed whole degrees as text (so
// that a value between -1 and 0 shows -0), the minutes and the seconds.
struct Sexagesimal {
    char degrees[16];
    int32_t minutes;
    double seconds;
};

// 10^-decimals for the decimals the seconds are printed with.
static const double kPowersOfTen[] = {1.0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6};

// decimals (at most 6) is how many the seconds are printed with: seconds that round to 60
// there carry into the minutes, and 60 minutes into the degrees, so that
// 59.9996 seconds print as 0.000 of the next minute rather than as 60.000.
static Sexagesimal ToSexagesimal(double value, int decimals) {
    Sexagesimal angle;
    int32_t wholeDegrees = 0;
    ToDegreesMinutesSeconds(value, &wholeDegrees, &angle.minutes, &angle.seconds);
    int32_t magnitude = wholeDegrees < 0 ? -wholeDegrees : wholeDegrees;
    // Only seconds within a unit of the last decimal of 60 can print as 60
    // (printing is asked only then: it costs more than the rest of the angle).
    if (angle.seconds >= 60.0 - kPowersOfTen[decimals]) {
        char rounded[64];
        snprintf(rounded, sizeof rounded, "%.*f", decimals, angle.seconds);
        if (rounded[0] == '6' && rounded[1] == '0' && magnitude < INT32_MAX) {
            angle.seconds = 0.0;
            if (++angle.minutes == 60) {
                angle.minutes = 0;
                ++magnitude;
            }
        }
    }
    // "%c%d" of the sign and the whole degrees, written here.
    char digits[12];
    int length = 0;
    do {
        digits[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    angle.degrees[0] = value < 0.0 ? '-' : '+';
    for (int i = 0; i < length; ++i) angle.degrees[1 + i] = digits[length - 1 - i];
    angle.degrees[1 + length] = '\0';
    return angle;
}

// The seconds as the two layouts print them.
static const int kFormattedDecimals = 3;
static const int kCondensedDecimals = 6;

static const char *TextOrEmpty(const char *text) { return text != NULL ? text : ""; }

// The mensuration error is stored in meters and reported in pixels, as
// "%*.*f" writes it with this width and precision. Without a pixel size there
// is no pixel value (the table's cell shows none either): blanks of the width.
static const char *MensurationPixels(char (&text)[64], const ZOT_Data *zotData, const ZOT_Point *point, int width,
                                     int precision) {
    if (zotData->averagePixelToMeter > 0.0) {
        snprintf(text, sizeof text, "%*.*f", width, precision, point->mensurationError / zotData->averagePixelToMeter);
    } else {
        snprintf(text, sizeof text, "%*s", width, "");
    }
    return text;
}

// A condensed field as CSV readers expect it: a text holding a comma, a double
// quote or a line break goes in double quotes with its quotes doubled; any
// other is written as it is. Returns a heap copy the caller frees with
// zmsc_HeapFree, or null when the text needs no quotes (or no copy could be made).
static char *QuotedCsvField(const char *text) {
    if (strpbrk(text, ",\"\r\n") == NULL) return NULL;
    size_t length = 2;
    for (const char *c = text; *c; ++c) length += *c == '"' ? 2 : 1;
    char *quoted = static_cast<char *>(zmsc_HeapMalloc(length + 1));
    if (quoted == NULL) return NULL;
    char *out = quoted;
    *out++ = '"';
    for (const char *c = text; *c; ++c) {
        if (*c == '"') *out++ = '"';
        *out++ = *c;
    }
    *out++ = '"';
    *out = '\0';
    return quoted;
}

static void WriteStatistics(ReportFile *out, const ZOT_Data *zotData) {
    const bool geographic = zotData->unitsAreDegrees != 0;
    const bool stereo = zotData->imageCount == 2;
    REPORT_PRINT(out, zotData->distanceUnits == 0 ? "Distance values are in meters\r\n\r\n"
                                                  : "Distance values are in feet\r\n\r\n");
    if (geographic) {
        REPORT_PRINT(out, "Mean latitude error: %f\r\n", ToDisplayUnits(zotData, zotData->meanLatError));
        REPORT_PRINT(out, "Mean longitude error: %f\r\n", ToDisplayUnits(zotData, zotData->meanLonError));
    } else {
        REPORT_PRINT(out, "Mean X error: %f\r\n", ToDisplayUnits(zotData, zotData->meanLonError));
        REPORT_PRINT(out, "Mean Y error: %f\r\n", ToDisplayUnits(zotData, zotData->meanLatError));
    }
    REPORT_PRINT(out, "Mean horizontal error (average HE): %f\r\n", ToDisplayUnits(zotData, zotData->meanHE));
    if (stereo) {
        REPORT_PRINT(out, "Mean elevation error (average VE): %f\r\n\r\n", ToDisplayUnits(zotData, zotData->meanVE));
    }
    if (geographic) {
        REPORT_PRINT(out, "Standard deviation latitude error: %f\r\n",
                     ToDisplayUnits(zotData, zotData->stdDevLatError));
        REPORT_PRINT(out, "Standard deviation longitude error: %f\r\n",
                     ToDisplayUnits(zotData, zotData->stdDevLonError));
    } else {
        REPORT_PRINT(out, "Standard deviation X error: %f\r\n", ToDisplayUnits(zotData, zotData->stdDevLonError));
        REPORT_PRINT(out, "Standard deviation Y error: %f\r\n", ToDisplayUnits(zotData, zotData->stdDevLatError));
    }
    REPORT_PRINT(out, "Standard deviation horizontal error: %f\r\n", ToDisplayUnits(zotData, zotData->stdDevHE));
    if (stereo) {
        REPORT_PRINT(out, "Standard deviation elevation error: %f\r\n\r\n",
                     ToDisplayUnits(zotData, zotData->stdDevVE));
        REPORT_PRINT(out, "90%% Linear Error (against T&E): %f\r\n", ToDisplayUnits(zotData, zotData->le90));
        REPORT_PRINT(out, "90%% Linear Error (T&E and mensuration error included): %f\r\n\r\n",
                     ToDisplayUnits(zotData, zotData->le90WithMensuration));
    }
    REPORT_PRINT(out, "90%% Circular Error (against T&E): %f\r\n", ToDisplayUnits(zotData, zotData->ce90));
    REPORT_PRINT(out, "90%% Circular Error (T&E and mensuration error included): %f\r\n\r\n",
                 ToDisplayUnits(zotData, zotData->ce90WithMensuration));
}

static void WriteCondensedHeader(ReportFile *out, const ZOT_Data *zotData) {
    if (zotData->unitsAreDegrees) {
        REPORT_PRINT(out, "ID,T&E Latitude,T&E Longitude,T&E Elevation,"
                          "T&E CE90,T&E LE90,T&E Description,"
                          "Measured Latitude,Measured Longitude,"
                          "Measured Elevation,Delta Latitude,"
                          "Delta Longitude,Delta Elevation,"
                          "Mensuration Error,Individual HE,Individual VE\n");
    } else {
        REPORT_PRINT(out, "ID,T&E X,T&E Y,T&E Elevation,"
                          "T&E CE90,T&E LE90,T&E Description,"
                          "Measured X,Measured Y,"
                          "Measured Elevation,Delta X,"
                          "Delta Y,Delta Elevation,"
                          "Mensuration Error,Individual HE,Individual VE\n");
    }
}

// Each point's line is written with one call.
static void WriteCondensedPoint(ReportFile *out, const ZOT_Data *zotData, const ZOT_Point *point) {
    char *quotedId = QuotedCsvField(TextOrEmpty(point->pointId));
    char *quotedDescription = QuotedCsvField(TextOrEmpty(point->teDescription));
    const char *id = quotedId != NULL ? quotedId : TextOrEmpty(point->pointId);
    const char *description = quotedDescription != NULL ? quotedDescription : TextOrEmpty(point->teDescription);
    const double elevation = ToDisplayUnits(zotData, point->teElevation);
    const double ce90 = ToDisplayUnits(zotData, point->teCE90);
    const double le90 = ToDisplayUnits(zotData, point->teLE90);
    const double measuredElevation = ToDisplayUnits(zotData, point->measuredElevation);
    const double deltaLatitude = ToDisplayUnits(zotData, point->deltaLatitude);
    const double deltaLongitude = ToDisplayUnits(zotData, point->deltaLongitude);
    const double deltaElevation = ToDisplayUnits(zotData, point->deltaElevation);
    char mensurationText[64];
    const char *mensuration = MensurationPixels(mensurationText, zotData, point, 0, kCondensedDecimals);
    const double he = ToDisplayUnits(zotData, point->individualCE);
    const double ve = ToDisplayUnits(zotData, point->individualLE);

    if (zotData->unitsAreDegrees) {
        const Sexagesimal teLat = ToSexagesimal(point->teLatitude, kCondensedDecimals);
        const Sexagesimal teLon = ToSexagesimal(point->teLongitude, kCondensedDecimals);
        const Sexagesimal lat = ToSexagesimal(point->measuredLatitude, kCondensedDecimals);
        const Sexagesimal lon = ToSexagesimal(point->measuredLongitude, kCondensedDecimals);
        REPORT_PRINT(out,
                     "%s," "%s:%d:%f," "%s:%d:%f," "%f," "%f," "%f," "%s,"
                     "%s:%d:%f," "%s:%d:%f," "%f," "%f," "%f," "%f," "%s," "%f," "%f\n",
                     id, teLat.degrees, static_cast<int>(teLat.minutes), teLat.seconds, teLon.degrees,
                     static_cast<int>(teLon.minutes), teLon.seconds, elevation, ce90, le90, description, lat.degrees,
                     static_cast<int>(lat.minutes), lat.seconds, lon.degrees, static_cast<int>(lon.minutes),
                     lon.seconds, measuredElevation, deltaLatitude, deltaLongitude, deltaElevation, mensuration, he,
                     ve);
    } else {
        REPORT_PRINT(out,
                     "%s," "%f," "%f," "%f," "%f," "%f," "%s,"
                     "%f," "%f," "%f," "%f," "%f," "%f," "%s," "%f," "%f\n",
                     id, point->teLongitude, point->teLatitude, elevation, ce90, le90, description,
                     point->measuredLongitude, point->measuredLatitude, measuredElevation, deltaLongitude,
                     deltaLatitude, deltaElevation, mensuration, he, ve);
    }
    zmsc_HeapFree(quotedId);
    zmsc_HeapFree(quotedDescription);
}

// The pieces every formatted block shares: a rule, and the description box.
#define REPORT_RULE "-------------------------------------------------------------------------\r\n"
#define REPORT_DESCRIPTION_BOX                                                                               \
    REPORT_RULE "|                                                        T&E Description|\r\n" \
                "|%71s|\r\n" REPORT_RULE

// Each point's block is written with one call (a fault check and a stream
// write), its blank lines after it included.
static void WriteFormattedGeographic(ReportFile *out, const ZOT_Data *zotData, const ZOT_Point *point) {
    const Sexagesimal teLat = ToSexagesimal(point->teLatitude, kFormattedDecimals);
    const Sexagesimal teLon = ToSexagesimal(point->teLongitude, kFormattedDecimals);
    const Sexagesimal lat = ToSexagesimal(point->measuredLatitude, kFormattedDecimals);
    const Sexagesimal lon = ToSexagesimal(point->measuredLongitude, kFormattedDecimals);
    char mensuration[64];
    REPORT_PRINT(out,
                 REPORT_RULE
                 "|      ID" "|  T&E Latitude" "| T&E Longitude" "| T&E Elevation" "|T&E CE90" "|T&E LE90|\r\n"
                 "|%8s" "|%4s %02d %6.3f" "|%4s %02d %6.3f" "|   %11.3f" "|%8.3f" "|%8.3f|\r\n"
                 REPORT_DESCRIPTION_BOX
                 "|       Measured Latitude" "|      Measured Longitude" "|   Measured Elevation|\r\n"
                 "|          %4s %02d %6.3f" "|          %4s %02d %6.3f" "|          %11.3f|\r\n"
                 REPORT_RULE
                 "|  Delta Latitude" "| Delta Longitude" "|  Delta Elevation" "|  Mensuration Error|\r\n"
                 "|     %11.3f" "|     %11.3f" "|      %11.3f" "|        %s|\r\n"
                 REPORT_RULE
                 "|                      Individual HE" "|                      Individual VE|\r\n"
                 "|                        %11.3f" "|                        %11.3f|\r\n"
                 REPORT_RULE "\r\n\r\n",
                 TextOrEmpty(point->pointId), teLat.degrees, static_cast<int>(teLat.minutes), teLat.seconds,
                 teLon.degrees, static_cast<int>(teLon.minutes), teLon.seconds,
                 ToDisplayUnits(zotData, point->teElevation), ToDisplayUnits(zotData, point->teCE90),
                 ToDisplayUnits(zotData, point->teLE90), TextOrEmpty(point->teDescription), lat.degrees,
                 static_cast<int>(lat.minutes), lat.seconds, lon.degrees, static_cast<int>(lon.minutes), lon.seconds,
                 ToDisplayUnits(zotData, point->measuredElevation), ToDisplayUnits(zotData, point->deltaLatitude),
                 ToDisplayUnits(zotData, point->deltaLongitude), ToDisplayUnits(zotData, point->deltaElevation),
                 MensurationPixels(mensuration, zotData, point, 11, 3), ToDisplayUnits(zotData, point->individualCE),
                 ToDisplayUnits(zotData, point->individualLE));
}

static void WriteFormattedMap(ReportFile *out, const ZOT_Data *zotData, const ZOT_Point *point) {
    char mensuration[64];
    REPORT_PRINT(out,
                 REPORT_RULE
                 "|      ID" "|         T&E X" "|         T&E Y" "| T&E Elevation" "|T&E CE90" "|T&E LE90|\r\n"
                 "|%8s" "| %13.3f" "| %13.3f" "| %13.3f" "|%8.3f" "|%8.3f|\r\n"
                 REPORT_DESCRIPTION_BOX
                 "|             Measured X" "|             Measured Y" "|     Measured Elevation|\r\n"
                 "|          %13.3f" "|          %13.3f" "|          %13.3f|\r\n"
                 REPORT_RULE
                 "|         Delta X" "|         Delta Y" "|  Delta Elevation" "|  Mensuration Error|\r\n"
                 "|   %13.3f" "|   %13.3f" "|    %13.3f" "|      %s|\r\n"
                 REPORT_RULE
                 "|                      Individual HE" "|                      Individual VE|\r\n"
                 "|                      %13.3f" "|                      %13.3f|\r\n"
                 REPORT_RULE "\r\n\r\n",
                 TextOrEmpty(point->pointId), point->teLongitude, point->teLatitude,
                 ToDisplayUnits(zotData, point->teElevation), ToDisplayUnits(zotData, point->teCE90),
                 ToDisplayUnits(zotData, point->teLE90), TextOrEmpty(point->teDescription), point->measuredLongitude,
                 point->measuredLatitude, ToDisplayUnits(zotData, point->measuredElevation),
                 ToDisplayUnits(zotData, point->deltaLongitude), ToDisplayUnits(zotData, point->deltaLatitude),
                 ToDisplayUnits(zotData, point->deltaElevation), MensurationPixels(mensuration, zotData, point, 13, 3),
                 ToDisplayUnits(zotData, point->individualCE), ToDisplayUnits(zotData, point->individualLE));
}

// The title with the name parts of the images; false when a name cannot be parsed.
static bool WriteTitle(Zerr_Report **err, ReportFile *out, const ZOT_Data *zotData) {
    char names[2][ZFIO_NAME_BUFFER] = {{0}, {0}};
    const int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images; ++image) {
        Zerr_Report *hostErr = NULL;
        if (zfio_FileNameParse(zotData->imageFileName[image], &hostErr, 4, names[image]) == 0 || hostErr != NULL) {
            ZOT_REPORT(err, kOperation, hostErr, "Error parsing filename.");
            return false;
        }
    }
    if (images == 1) {
        REPORT_PRINT(out, "ZOT Report for %s\r\n\r\n", names[0]);
    } else {
        REPORT_PRINT(out, "ZOT Report for %s and %s\r\n\r\n", names[0], names[1]);
    }
    return true;
}

// Writes everything after the open; stops at the first failure (a report in
// *err) or the first failed write (out->failed).
static void WriteReport(Zerr_Report **err, ReportFile *out, const ZOT_Data *zotData) {
    if (!WriteTitle(err, out, zotData)) return;
    WriteStatistics(out, zotData);

    Zerr_Report *hostErr = NULL;
    const int32_t count = zdlm_CountList(zotData->pointList, &hostErr);
    if (hostErr != NULL) {
        ZOT_REPORT(err, kOperation, hostErr, "Error getting number of items in list.");
        return;
    }
    if (zotData->condensedFormat) WriteCondensedHeader(out, zotData);

    for (int32_t index = 0; index < count && !out->failed; ++index) {
        const ZOT_Point *point = static_cast<const ZOT_Point *>(zdlm_GetAddr(zotData->pointList, index, &hostErr));
        if (point == NULL || hostErr != NULL) {
            ZOT_REPORT(err, kOperation, hostErr, "Error getting element from list");
            return;
        }
        if (!point->isMeasured) continue;
        if (zotData->condensedFormat) {
            WriteCondensedPoint(out, zotData, point);
        } else {
            if (zotData->unitsAreDegrees) {
                WriteFormattedGeographic(out, zotData, point);
            } else {
                WriteFormattedMap(out, zotData, point);
            }
        }
    }
}

// Whether the report may go to fileName: never over an image the tool has
// open, and over the T&E file only when the user says so. False with a report.
static bool MayWriteReport(Zerr_Report **err, ZOT_Data *zotData, const char *fileName) {
    if (IsOpenImage(zotData, fileName)) {
        ZOT_REPORT(err, kOperation, NULL, "%s is an image the tool has open; it was not overwritten.", fileName);
        return false;
    }
    if (!IsSameFile(fileName, zotData->teFileName)) return true;
    Zerr_Report *cause = NULL;
    char *question = zstr_Sprintf(NULL, "%s is the open T&E file. Write the report over it?", &cause, fileName);
    int32_t overwrite = 0;
    if (question && !cause) overwrite = zzml_QueryYesNo(zzml_GetTheRoot(), question, "No", "Yes", &cause);
    zmsc_HeapFree(question);
    if (cause) {
        ZOT_REPORT(err, kOperation, cause, "Error asking whether to write over the T&E file %s.", fileName);
        return false;
    }
    if (!overwrite) ZOT_REPORT(err, kOperation, NULL, "The report was not written over the T&E file %s.", fileName);
    return overwrite != 0;
}

void CreateReport(const char *fileName, ZOT_Data *zotData, Zerr_Report **err) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    if (zotData == NULL) {
        ZOT_REPORT(err, kOperation, NULL, "Invalid ZOT_Data * passed to the function.");
        zerr_DeleteErrorReportEx(&localErr);
        return;
    }
    if (!MayWriteReport(err, zotData, fileName)) {
        zerr_DeleteErrorReportEx(&localErr);
        return;
    }

    Zerr_Report *hostErr = NULL;
    ReportFile out;
    if (!OpenOutputFile(&hostErr, fileName, &out)) {
        ZOT_REPORT(err, kOperation, hostErr, "Error creating %s", TextOrEmpty(fileName));
        zerr_DeleteErrorReportEx(&localErr);
        return;
    }

    WriteReport(err, &out, zotData);

    // A report is complete only when every byte landed; until then the file
    // that was there stays as it was.
    Zerr_Report *closeErr = NULL;
    const bool written = CloseOutputFile(&closeErr, &out, *err == NULL);
    if (*err != NULL) {
        zerr_DeleteErrorReportEx(&closeErr);
    } else if (!written) {
        ZOT_REPORT(err, kOperation, closeErr, "Error writing %s", fileName);
    } else {
        zotData->reportPending = 0;
    }
    zerr_DeleteErrorReportEx(&localErr);
}

void ZOT_CreateReport(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    if (argc < 1 || argv == NULL || argv[0] == NULL) {
        ZOT_REPORT(err, "ZOT_CreateReport", NULL, "Insufficient arguments passed to the function.");
    } else {
        Zerr_Report *cause = NULL;
        CreateReport(argv[0], zotData, &cause);
        if (cause != NULL) ZOT_REPORT(err, "ZOT_CreateReport", cause, "Error creating report.");
    }
    zerr_DeleteErrorReportEx(&localErr);
}
