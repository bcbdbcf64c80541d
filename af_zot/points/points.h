// Point markers, measuring, the point table and its cells.
//
// Conventions of every declaration below, unless it says otherwise:
// - zotData is the tool record of a started tool (never null where an
//   operation takes it as its second argument; the application functions and
//   callbacks accept null and do nothing or report it). It stays the caller's.
// - Image positions are file coordinates in pixels, doubles: x the column, y
//   the row, (0, 0) the top-left corner of the first pixel, so the centre of
//   that pixel is (0.5, 0.5). image is 0 for the left image (the only one in
//   mono), 1 for the right one.
// - Ground positions are in the image's map units: longitude and latitude in
//   decimal degrees on a geographic image, easting and northing otherwise.
//   Every stored length is in meters; lengths cross the table in the display
//   unit (meters or feet, ToDisplayUnits), the mensuration error in pixels.
// - err receives a report chained on the failing call's report, or null on
//   success; it may be null (a local slot is used). Callbacks cannot hand a
//   report on: they print it (zerr_PrintErrorReport).
#ifndef ZOT_POINTS_H
#define ZOT_POINTS_H

#include "boundary/zot_data.h"
#include "points/zot_point.h"

struct GroundToImageRun;

// Markers.

// A new marker named name ("T&E" or "Measurement") with the text label (may be
// null: no text) at file position (imageX, imageY) in the main pane of image,
// in color (red, green and blue from 0 to 1 in color[0..2]; color[3] unused),
// disabled, and hidden while the tool's graphics are off. The marker is the
// caller's (zdis_SelNewDestroy). A marker made before a later step failed is
// returned with the report, so that the caller can destroy it.
Zdis_Selector *CreateSelector(double imageY, double imageX, const char *label, const char *name,
                              const double *color, Zerr_Report **err, int32_t image, ZOT_Data *zotData);

// Which call stopped PlaceTEMarkers.
enum TEMarkerStep { kTEMarkersPlaced, kTEGroundToImageFailed, kTEObjectToFileFailed, kTECreateSelectorFailed };

// Places a T&E marker in each image of the tool (one in mono, two in stereo) at
// the point's reference position (teLongitude, teLatitude, teElevation) into
// point->teSelector, image 0 first; the point owns them. The slots must be
// empty. Stops at the first failing call, leaving its report in *cause (cause
// never null; the caller owns the report) and telling which call it was; a
// marker that CreateSelector returned with a failure is still stored. In mono,
// run (when not null) carries the ground-to-image conversions of many points.
TEMarkerStep PlaceTEMarkers(Zerr_Report **cause, ZOT_Data *zotData, ZOT_Point *point, struct GroundToImageRun *run);

// Replaces the point's T&E markers by new ones at its reference position, and
// gives its measurement markers its pointId as label.
void UpdateSelector(Zerr_Report **err, ZOT_Data *zotData, ZOT_Point *point);

// Shows every marker in every pane when argv[0] is "1", hides them all when it
// is "0" (the texts the UI script's buttons send); any other text is refused.
// Returns 0.
int32_t ZOT_ToggleGraphics(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv);

// Measuring.

// The pick callback: coordinates is a two-row, one-column matrix (file x, then
// y) of a click in a pane of layer; info is the tool record. Appends the pick
// to that image's pick list, unless there is no current point or it is
// measured already (a message tells the user). Returns what ReleasePickTool
// returns.
int32_t PointCreatedCallback(Zdis_Layer *layer, Zgda_BaseData *coordinates, int32_t rows, int32_t columns,
                             void *info);
// Measures the current point: averages each image's picks, marks the average,
// and turns it into a ground position (mono: through the left image's fileToMap
// at teElevation, meters; stereo: by intersecting the block's rays), stored in
// the point's measured fields with isMeasured set. Then moves to the next row
// (driving the viewers there when autoDrive is on) and recomputes the
// statistics. The picks are used up, except when there are no points or an
// image has none ("No points have been measured."): then they stay.
void AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData);
// Takes the current point's measurement, errors and measurement markers away
// and recomputes the statistics.
void ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData);
// The application functions of the two above: the same, reported under their
// own names. Return 0.
int32_t ZOT_AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData);
// The table's exclusive-row callback (info: the tool record): the chosen row
// becomes currentRow, after pending picks are accepted for the row left.
void ExclusiveChangeCB(void *info);

// The table and labels.

// Shows the tool frame along the bottom of the screen and lays out the point
// table: its columns, their callbacks and, on a map image, the X and Y titles.
void Display(Zerr_Report **err, ZOT_Data *zotData);
// Writes the four statistics labels (meanHE, meanVE, ce90WithMensuration,
// le90WithMensuration in the display unit, three decimals) and the pick count
// of each image.
void SetLabels(Zerr_Report **err, ZOT_Data *zotData);
// Appends a row with a new point (InitNewPoint). Returns 0.
int32_t ZOT_AddRow(Zerr_Report **err, ZOT_Data *zotData);
// Reads the units toggle ("Feet" sets distanceUnits, anything else clears it)
// and shows the labels and table in that unit. Returns 0.
int32_t ZOT_UpdateUnits(Zerr_Report **err, ZOT_Data *zotData);
// The table's row callbacks (info: the tool record): a new point before row,
// or after it when after is nonzero; and deleting the selected rows.
void insertCB(void *info, int32_t after, int32_t row);
void deleteCB(void *info);

// Cell callbacks (Zzui_CellCallback form). info is the tool record, row the
// point's index in pointList, column unused. value is a double for number
// cells (coordinates in map units, lengths in the display unit, the
// mensuration error in pixels), double[4] for colours, and a char buffer of
// size bytes for texts (a get always ends it with NUL and cuts the text to
// fit; a put copies it). A get returns 1 when the cell shows a value, 0 when
// it is empty (the value is not given, or the point is not measured yet); a put
// returns 1 when the value was taken, 0 when it was refused (not finite, no
// such row). Puts of reference values and of the mensuration error recompute
// the statistics; puts of a reference position move the T&E markers.
int32_t IDGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t IDPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELatitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELatitudePutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELongitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELongitudePutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEElevationGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEElevationPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEColorGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEColorPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TECE90GetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TECE90PutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELE90GetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TELE90PutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEPointDescriptionGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t TEPointDescriptionPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MeasuredLatitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MeasuredLongitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MeasuredElevationGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MeasuredColorGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MeasuredColorPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t DeltaLatitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t DeltaLongitudeGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t DeltaElevationGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MensurationErrorGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t MensurationErrorPutCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t IndividualCEGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);
int32_t IndividualLEGetCB(void *info, int32_t row, int32_t column, void *value, int32_t size);

#endif
