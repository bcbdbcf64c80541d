// Operations of this folder that are not written yet; each is removed from here
// when its real body lands.
#include "../pending_common.h"
#include "geometry.h"

void GetFileToMap(Zerr_Report **err, ZOT_Data *, const char *, Zxfr_XForm **, Zprj_ProParameters **, double *,
                  double *) { ZOT_NOT_IMPLEMENTED(err, "GetFileToMap"); }
bool IsDegreeUnits(const char *) { return false; }
Zpho_BlockData *CreateBlock(Zerr_Report **err, const char *, const char *, Zprj_ProParameters *) {
    ZOT_NOT_IMPLEMENTED(err, "CreateBlock");
    return NULL;
}
void ObjectToFile(Zerr_Report **err, int32_t, Zpho_ModelInfo *, double, double, double, double *, double *) {
    ZOT_NOT_IMPLEMENTED(err, "ObjectToFile");
}
void FileToObject(Zpho_ModelInfo *, int32_t, double, double, int32_t, double, double, double *, double *, double *,
                  Zerr_Report **err) { ZOT_NOT_IMPLEMENTED(err, "FileToObject"); }
void GroundToImage(Zerr_Report **err, Zxfr_XForm *, const double *, const double *, const double *, double *,
                   double *) { ZOT_NOT_IMPLEMENTED(err, "GroundToImage"); }
void ImageAndGroundZToGroundXY(Zerr_Report **err, Zxfr_XForm *, const double *, const double *, const double *,
                               double *, double *) { ZOT_NOT_IMPLEMENTED(err, "ImageAndGroundZToGroundXY"); }
double ToDisplayUnits(const ZOT_Data *, double meters) { return meters; }
double FromDisplayUnits(const ZOT_Data *, double shown) { return shown; }
void ToDegreesMinutesSeconds(double, int32_t *, int32_t *, double *) {}
double calculatePixelToMeter(ZOT_Data *, int32_t, double, double, double, double, Zerr_Report **err) {
    ZOT_NOT_IMPLEMENTED(err, "calculatePixelToMeter");
    return 0.0;
}
void calculateAveragePixelToMeter(ZOT_Data *, Zerr_Report **err) {
    ZOT_NOT_IMPLEMENTED(err, "calculateAveragePixelToMeter");
}
void CalculateValues(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "CalculateValues"); }
void DriveTo(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "DriveTo"); }
int32_t ZOT_DriveTo(Zerr_Report **err, ZOT_Data *) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_DriveTo");
    return 0;
}
