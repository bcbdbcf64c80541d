// Georeferencing, the stereo block, ground/image transforms, scale and units,
// statistics and driving the viewers.
#ifndef ZOT_GEOMETRY_H
#define ZOT_GEOMETRY_H

#include <stdbool.h>

#include "../boundary/zot_data.h"

void GetFileToMap(Zerr_Report **err, ZOT_Data *zotData, const char *fileName, Zxfr_XForm **fileToMap,
                  Zprj_ProParameters **parameters, double *width, double *height);
bool IsDegreeUnits(const char *unitsName);

Zpho_BlockData *CreateBlock(Zerr_Report **err, const char *leftFileName, const char *rightFileName,
                            Zprj_ProParameters *parameters);
void ObjectToFile(Zerr_Report **err, int32_t image, Zpho_ModelInfo *modelInfo, double groundX, double groundY,
                  double groundZ, double *imageX, double *imageY);
void FileToObject(Zpho_ModelInfo *modelInfo, int32_t leftImage, double leftX, double leftY, int32_t rightImage,
                  double rightX, double rightY, double *groundX, double *groundY, double *groundZ,
                  Zerr_Report **err);

void GroundToImage(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *groundX, const double *groundY,
                   const double *groundZ, double *imageX, double *imageY);
void ImageAndGroundZToGroundXY(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *imageX,
                               const double *imageY, const double *groundZ, double *groundX, double *groundY);

double ToDisplayUnits(const ZOT_Data *zotData, double meters);
double FromDisplayUnits(const ZOT_Data *zotData, double shown);
void ToDegreesMinutesSeconds(double degrees, int32_t *wholeDegrees, int32_t *minutes, double *seconds);
double calculatePixelToMeter(ZOT_Data *zotData, int32_t image, double row1, double col1, double row2,
                             double col2, Zerr_Report **err);
void calculateAveragePixelToMeter(ZOT_Data *zotData, Zerr_Report **err);

void CalculateValues(Zerr_Report **err, ZOT_Data *zotData);

void DriveTo(Zerr_Report **err, ZOT_Data *zotData);
int32_t ZOT_DriveTo(Zerr_Report **err, ZOT_Data *zotData);

#endif
