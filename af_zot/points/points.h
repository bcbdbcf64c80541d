// Point markers, measuring, the point table and its cells.
#ifndef ZOT_POINTS_H
#define ZOT_POINTS_H

#include "../boundary/zot_data.h"
#include "zot_point.h"

// Markers. The colour is four doubles, of which red, green and blue are used.
Zdis_Selector *CreateSelector(double imageY, double imageX, const char *label, const char *name,
                              const double *color, Zerr_Report **err, int32_t image, ZOT_Data *zotData);
void UpdateSelector(Zerr_Report **err, ZOT_Data *zotData, ZOT_Point *point);
int32_t ZOT_ToggleGraphics(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv);

// Measuring.
int32_t PointCreatedCallback(Zdis_Layer *layer, Zgda_BaseData *coordinates, int32_t rows, int32_t columns,
                             void *info);
void AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData);
void ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_AcceptMeasurement(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_ClearMeasurement(Zerr_Report **err, ZOT_Data *zotData);
void ExclusiveChangeCB(void *info);

// The table and labels.
void Display(Zerr_Report **err, ZOT_Data *zotData);
void SetLabels(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_AddRow(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_UpdateUnits(Zerr_Report **err, ZOT_Data *zotData);
void insertCB(void *info, int32_t after, int32_t row);
void deleteCB(void *info);

// Cell callbacks (Zzui_CellCallback form).
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
