// Georeferencing, the stereo block, ground/image transforms, scale and units,
// statistics and driving the viewers.
//
// Where map units, meters and pixels meet. Unless a declaration says otherwise:
// - Ground X and Y are in the image's map units: X longitude and Y latitude in
//   decimal degrees on a geographic image (unitsAreDegrees), X easting and Y
//   northing in mapUnits (meters, feet or US survey feet) otherwise. Ground Z,
//   every elevation and every length the tool stores are in meters; for RPC
//   images Z is a height above the WGS84 ellipsoid.
// - Image positions are file coordinates in pixels, doubles: x the column, y
//   the row, (0, 0) the top-left corner of the first pixel. An RPC model counts
//   its line and sample from pixel centres; the host's RPC transforms and block
//   convert by half a pixel, so everything here is in file coordinates.
// - image is 0 for the left image (the only one in mono), 1 for the right one.
// - err receives a report chained on the failing call's report, or null on
//   success; it may be null (a local slot is used). Outputs are left as they
//   were when their values cannot be computed.
// - Objects handed out are the caller's, with the release operation named.
#ifndef ZOT_GEOMETRY_H
#define ZOT_GEOMETRY_H

#include <stdbool.h>

#include "boundary/zot_data.h"

// The values a reference point may hold. Beyond them a value is a typing or a
// unit error, and its squares would overflow the statistics: elevations in
// meters either side of zero, CE90 and LE90 in meters from zero, map X and Y
// in map units either side of zero.
static const double kElevationLimit = 100000.0;
static const double kAccuracyLimit = 100000.0;
static const double kMapCoordinateLimit = 1e9;

// Reads how the image fileName (its first layer) lies on the ground. On
// success *fileToMap receives a new transform from file to map coordinates
// (zxfr_XFormFree), *parameters a copy of the image's projection parameters
// (zprj_ProParametersFree), and *width and *height the size of the layer in
// pixels; each output may be null, and is then not produced (what was handed
// out before a later step failed is the caller's all the same). Stores the map
// units name in zotData->mapUnits (the record owns it; the one it held before is
// freed) and sets unitsAreDegrees. In stereo (imageCount 2) an image whose
// projection is not "Geographic (Lat/Lon)" is refused.
void GetFileToMap(Zerr_Report **err, ZOT_Data *zotData, const char *fileName, Zxfr_XForm **fileToMap,
                  Zprj_ProParameters **parameters, double *width, double *height);
// True when unitsName (may be null) names degrees: "dd", "deg", "degree",
// "degrees" or "dg".
bool IsDegreeUnits(const char *unitsName);

// The stereo block of the two images with the "NITF RPC" sensor model, in the
// projection parameters (the caller's, only read). The block is the caller's
// (zpho_BlockDataFree), also when a later step failed and *err is set.
Zpho_BlockData *CreateBlock(Zerr_Report **err, const char *leftFileName, const char *rightFileName,
                            Zprj_ProParameters *parameters);
// The file position in image 0 or 1 of the block of a ground point (longitude
// and latitude in degrees, Z in meters). modelInfo belongs to the block.
void ObjectToFile(Zerr_Report **err, int32_t image, Zpho_ModelInfo *modelInfo, double groundX, double groundY,
                  double groundZ, double *imageX, double *imageY);
// The ground point (longitude and latitude in degrees, Z in meters) where the
// rays through a file position in the left and one in the right image meet.
void FileToObject(Zpho_ModelInfo *modelInfo, int32_t leftImage, double leftX, double leftY, int32_t rightImage,
                  double rightX, double rightY, double *groundX, double *groundY, double *groundZ,
                  Zerr_Report **err);

// The file position of one ground point through the image's fileToMap (only
// read): an RPC transform maps it at groundZ, an affine one by its plane
// (groundZ unused). Each pointer is to one value.
void GroundToImage(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *groundX, const double *groundY,
                   const double *groundZ, double *imageX, double *imageY);
// GroundToImage for a run of points through one fileToMap (only read), with
// the same results and reports; the matrix and the inverse the planar fallback
// needs are made at the first point that needs them and kept until the run
// ends, instead of once a point. End every run begun.
typedef struct GroundToImageRun {
    Zxfr_XForm *fileToMap;
    Zxfr_XForm *inverse;    // null until the fallback first needs it
    Zgda_BaseData *matrix;  // likewise
} GroundToImageRun;
void BeginGroundToImageRun(GroundToImageRun *run, Zxfr_XForm *fileToMap);
void RunGroundToImage(Zerr_Report **err, GroundToImageRun *run, const double *groundX, const double *groundY,
                      const double *groundZ, double *imageX, double *imageY);
// Releases what the run made; a failing release changes no result and is not reported.
void EndGroundToImageRun(GroundToImageRun *run);

// The ground X and Y of one file position at height groundZ (meters) through
// fileToMap (only read); an affine transform ignores the height.
void ImageAndGroundZToGroundXY(Zerr_Report **err, Zxfr_XForm *fileToMap, const double *imageX,
                               const double *imageY, const double *groundZ, double *groundX, double *groundY);

// A stored length in meters as shown: feet when zotData->distanceUnits is set,
// else meters. zotData may be null (meters).
double ToDisplayUnits(const ZOT_Data *zotData, double meters);
// A length typed in the shown unit, in meters. zotData may be null (meters).
double FromDisplayUnits(const ZOT_Data *zotData, double shown);
// Splits an angle in decimal degrees: the whole degrees carrying the sign
// (so -0.5 gives 0: the caller keeps the sign of degrees), minutes from 0 to
// 59 and seconds from 0 up to 60, not rounded. Whole degrees beyond the range
// of int32_t saturate, NaN gives 0. Each output may be null.
void ToDegreesMinutesSeconds(double degrees, int32_t *wholeDegrees, int32_t *minutes, double *seconds);
// The ground size in meters of the step between two file positions (rows and
// columns in pixels) of image: both projected to the ground (mono at the
// transform's own elevation, stereo at the block's mean elevation of the
// image), their difference turned into meters, and the root mean square of the
// two axis lengths returned (0 after a failure).
double calculatePixelToMeter(ZOT_Data *zotData, int32_t image, double row1, double col1, double row2,
                             double col2, Zerr_Report **err);
// Sets zotData->averagePixelToMeter (meters per pixel, the mean over five
// diagonal steps of each image); left as it was after a failure.
void calculateAveragePixelToMeter(ZOT_Data *zotData, Zerr_Report **err);

// Recomputes every counted point's errors (meters, stored in the point) and
// every statistic of the record (meters), sets reportPending, and shows the
// labels and table again.
void CalculateValues(Zerr_Report **err, ZOT_Data *zotData);

// Centres every pane of the tool on the current point's reference position.
void DriveTo(Zerr_Report **err, ZOT_Data *zotData);
// The application function of DriveTo. Returns 0.
int32_t ZOT_DriveTo(Zerr_Report **err, ZOT_Data *zotData);

#endif
