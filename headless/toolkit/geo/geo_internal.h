// The geometry package's records and the helpers its files share: RPC sensor
// models, the transform and projection records, and access to GDAL. Internal
// to toolkit/geo.
#ifndef ZHG_GEO_INTERNAL_H
#define ZHG_GEO_INTERNAL_H

#include <cmath>
#include <memory>
#include <string>

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Ellipsoid.hpp>
#include <gdal.h>
#include <ogr_spatialref.h>

#include "ztypes.h"

namespace zhg {

// A rational polynomial camera model. Each polynomial has 20 terms in the order
//   1, L, P, H, LP, LH, PH, L^2, P^2, H^2, PLH, L^3, LP^2, LH^2, L^2P, P^3, PH^2, L^2H, P^2H, H^3
// of the normalised longitude L, latitude P and height H; line and sample count
// from pixel centres. Read-only once built (RpcFromMetadata), so a conversion
// allocates nothing.
struct Rpc {
    double lineOff = 0, sampOff = 0, latOff = 0, lonOff = 0, heightOff = 0;
    double lineScale = 1, sampScale = 1, latScale = 1, lonScale = 1, heightScale = 1;
    // The coefficients by term, the four polynomials side by side so that they
    // are evaluated together: {line numerator, line denominator, sample
    // numerator, sample denominator} of term i.
    alignas(32) double coefficients[20][4] = {};
    // The model made linear at its centre: file x (row 0) and y (row 1) as
    // c + cL * L + cP * P + cH * H of the normalised coordinates, the starting
    // guess of every inversion. Valid when hasLinear.
    double linear[2][4] = {};
    bool hasLinear = false;
    // 1 / lonScale, 1 / latScale, 1 / heightScale: normalising multiplies.
    double inverseScale[3] = {1, 1, 1};
};

// A longitude's difference from the model's longitude offset (degrees), taken
// the short way round the globe, so that a model near the 180th meridian maps
// points on both sides of it. Every conversion relates a longitude to the model
// through this one function.
inline double LongitudeFromOffset(const Rpc &rpc, double lon) {
    double east = lon - rpc.lonOff;
    if (east > 180.0 || east <= -180.0) east -= 360.0 * std::ceil((east - 180.0) / 360.0);
    return east;
}

// Normalised coordinates further than this many scales from the offsets lie
// far beyond anything the polynomials were fitted to; iterations that wander
// there have failed.
constexpr double kRpcDomain = 3.0;

// Ground (longitude and latitude in degrees, height in metres) to file
// coordinates (pixel corners: x = sample + 0.5, y = line + 0.5). When jacobian
// is given it receives d(x, y) / d(lon, lat, height), row-major 2 x 3. False
// when a denominator vanishes or a result is not finite.
bool RpcGroundToFile(const Rpc &rpc, double lon, double lat, double height, double *x, double *y,
                     double jacobian[6] = nullptr);

// File coordinates at a known height to longitude and latitude, by Newton's
// method until the ground point maps to within tolerance pixels of (x, y).
// False when it does not get there (or leaves the model's domain).
bool RpcFileToGround(const Rpc &rpc, double x, double y, double height, double *lon, double *lat,
                     double tolerance = 1e-6);

// Reads the model from GDAL's "RPC" metadata domain. False with a message
// (naming fileName) when an entry is missing or unreadable, or a coefficient
// list does not hold exactly 20 numbers. A dataset without RPC metadata gives
// false with *present false.
bool RpcFromMetadata(char **metadata, const char *fileName, Rpc *rpc, bool *present, std::string *message);

// GDAL, registered once, with its messages kept off standard error for as long
// as the guard lives; CPLGetLastErrorMsg() still holds the last one.
class GdalQuiet {
public:
    GdalQuiet();
    ~GdalQuiet();
    GdalQuiet(const GdalQuiet &) = delete;
    GdalQuiet &operator=(const GdalQuiet &) = delete;
};

// GDAL's last message, or fallback when it gave none.
std::string GdalMessage(const char *fallback);

// Opens a file read-only as a raster dataset; null with a message naming the
// file (GDAL's own words) when it cannot. Call under a GdalQuiet.
GDALDatasetH OpenRaster(const char *fileName, std::string *message);

// The model of image in a block's model information, or null.
const Rpc *BlockModel(const Zpho_ModelInfo *info, int image);

// Degrees of latitude and longitude to metres near latitude (degrees), for
// convergence tests; a local approximation on WGS84, good to a fraction of a percent.
void MetersPerDegree(double latitude, double *perDegLat, double *perDegLon);

}  // namespace zhg

// A transform between file and map coordinates. Affine transforms keep both
// directions exactly as read (the geotransform and its inverse), so inverting
// twice gives back the very numbers GDAL gave. RPC transforms keep the model;
// their planar part works at the model's height offset. What a transform maps
// with never changes once made, so copies and inverses share it: making one is
// a small allocation, also when callers invert a transform for every point.
struct Zxfr_XForm {
    struct Model {
        double toMap[6] = {};   // affine: file to map (GDAL geotransform order)
        double toFile[6] = {};  // affine: map to file, same order
        zhg::Rpc rpc;           // RPC: the model
        std::string fileName;   // the image it came from, for reports
    };
    enum Kind { kAffine, kRpc } kind = kAffine;
    bool fileToMap = true;  // direction of the planar mapping
    std::shared_ptr<const Model> model;
};

// Projection parameters: a coordinate system, with its ellipsoid read once
// (ground lengths need it for every point). Set both with zhg::SetCoordinateSystem.
struct Zprj_ProParameters {
    OGRSpatialReference srs;
    // The ellipsoid of srs; WGS84 when srs names none.
    GeographicLib::Ellipsoid ellipsoid{GeographicLib::Constants::WGS84_a(), GeographicLib::Constants::WGS84_f()};
};

// A layer's projection; it owns its parameters.
struct Zprj_Projection {
    Zprj_ProParameters parameters;
};

namespace zhg {

// The inverse of a geotransform (same coefficient order). False with a
// message naming fileName when it is singular or not finite.
bool AffineInverse(const double geoTransform[6], double inverse[6], const char *fileName, std::string *message);
// A new affine transform (file to map) from a geotransform, counted as live
// kind "xform". Null with a message naming fileName when it is singular or not finite.
Zxfr_XForm *NewAffineXForm(const double geoTransform[6], const char *fileName, std::string *message);
// A new RPC transform (file to map), counted as live kind "xform".
Zxfr_XForm *NewRpcXForm(const Rpc &rpc, const char *fileName);
// The radius of the parallel at latitude (degrees, at most 90 from the
// equator) on the ellipsoid, in metres.
double ParallelRadius(const GeographicLib::Ellipsoid &ellipsoid, double latitude);
// Gives parameters the coordinate system srs and its ellipsoid.
void SetCoordinateSystem(Zprj_ProParameters *parameters, const OGRSpatialReference &srs);

}  // namespace zhg

#endif
