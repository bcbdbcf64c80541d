// Operations of this folder that are not written yet; each is removed from here
// when its real body lands.
#include "../pending_common.h"
#include "points.h"

Zdis_Selector *CreateSelector(double, double, const char *, const char *, const double *, Zerr_Report **err,
                              int32_t, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "CreateSelector");
    return NULL;
}
void UpdateSelector(Zerr_Report **err, ZOT_Data *, ZOT_Point *) { ZOT_NOT_IMPLEMENTED(err, "UpdateSelector"); }
int32_t ZOT_ToggleGraphics(Zerr_Report **err, ZOT_Data *, int32_t, char **) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_ToggleGraphics");
    return 0;
}
int32_t PointCreatedCallback(Zdis_Layer *, Zgda_BaseData *, int32_t, int32_t, void *) { return 0; }
void AcceptMeasurement(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "AcceptMeasurement"); }
void ClearMeasurement(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "ClearMeasurement"); }
int32_t ZOT_AcceptMeasurement(Zerr_Report **err, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_AcceptMeasurement");
    return 0;
}
int32_t ZOT_ClearMeasurement(Zerr_Report **err, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_ClearMeasurement");
    return 0;
}
void ExclusiveChangeCB(void *) {}
void Display(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "Display"); }
void SetLabels(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "SetLabels"); }
int32_t ZOT_AddRow(Zerr_Report **err, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_AddRow");
    return 0;
}
int32_t ZOT_UpdateUnits(Zerr_Report **err, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_UpdateUnits");
    return 0;
}
void insertCB(void *, int32_t, int32_t) {}
void deleteCB(void *) {}

#define ZOT_PENDING_CELL(name) \
    int32_t name(void *, int32_t, int32_t, void *, int32_t) { return 0; }
ZOT_PENDING_CELL(IDGetCB)
ZOT_PENDING_CELL(IDPutCB)
ZOT_PENDING_CELL(TELatitudeGetCB)
ZOT_PENDING_CELL(TELatitudePutCB)
ZOT_PENDING_CELL(TELongitudeGetCB)
ZOT_PENDING_CELL(TELongitudePutCB)
ZOT_PENDING_CELL(TEElevationGetCB)
ZOT_PENDING_CELL(TEElevationPutCB)
ZOT_PENDING_CELL(TEColorGetCB)
ZOT_PENDING_CELL(TEColorPutCB)
ZOT_PENDING_CELL(TECE90GetCB)
ZOT_PENDING_CELL(TECE90PutCB)
ZOT_PENDING_CELL(TELE90GetCB)
ZOT_PENDING_CELL(TELE90PutCB)
ZOT_PENDING_CELL(TEPointDescriptionGetCB)
ZOT_PENDING_CELL(TEPointDescriptionPutCB)
ZOT_PENDING_CELL(MeasuredLatitudeGetCB)
ZOT_PENDING_CELL(MeasuredLongitudeGetCB)
ZOT_PENDING_CELL(MeasuredElevationGetCB)
ZOT_PENDING_CELL(MeasuredColorGetCB)
ZOT_PENDING_CELL(MeasuredColorPutCB)
ZOT_PENDING_CELL(DeltaLatitudeGetCB)
ZOT_PENDING_CELL(DeltaLongitudeGetCB)
ZOT_PENDING_CELL(DeltaElevationGetCB)
ZOT_PENDING_CELL(MensurationErrorGetCB)
ZOT_PENDING_CELL(MensurationErrorPutCB)
ZOT_PENDING_CELL(IndividualCEGetCB)
ZOT_PENDING_CELL(IndividualLEGetCB)
