// Map positions to WGS84 longitude and latitude, for GeoJSON (the only part of
// the assessment that uses GDAL).
#ifndef ZASSESS_REPROJECT_H
#define ZASSESS_REPROJECT_H

#include <string>

#include "assess.h"

namespace zassess {

// Transforms every reference and measured position of *set from crs (anything
// GDAL reads as a coordinate system: "EPSG:32632", WKT, a PROJ string) to
// WGS84 longitude and latitude, and marks the set geographic. Residuals stay
// as they are. Returns false with a message when crs cannot be read or a
// position cannot be transformed; *set is then unchanged.
bool ReprojectToWgs84(ResidualSet *set, const std::string &crs, std::string *error);

}  // namespace zassess

#endif
