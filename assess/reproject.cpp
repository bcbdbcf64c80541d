// Reprojection with OGR: the positions of a map report to WGS84.
#include "reproject.h"

#include <memory>
#include <vector>

#include <ogr_spatialref.h>

namespace zassess {

bool ReprojectToWgs84(ResidualSet *set, const std::string &crs, std::string *error) {
    OGRSpatialReference source, wgs84;
    if (source.SetFromUserInput(crs.c_str()) != OGRERR_NONE) {
        *error = "--crs: \"" + crs + "\" is not a coordinate system GDAL knows (try e.g. EPSG:32632)";
        return false;
    }
    wgs84.SetWellKnownGeogCS("WGS84");
    // Longitude first, as GeoJSON and the report's X and Y are.
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> transform(OGRCreateCoordinateTransformation(&source, &wgs84));
    if (!transform) {
        *error = "--crs: no transformation from \"" + crs + "\" to WGS84";
        return false;
    }
    const size_t n = set->points.size();
    std::vector<double> x(2 * n), y(2 * n);
    std::vector<int> ok(2 * n, 0);
    for (size_t i = 0; i < n; ++i) {
        x[2 * i] = set->points[i].refX, y[2 * i] = set->points[i].refY;
        x[2 * i + 1] = set->points[i].measX, y[2 * i + 1] = set->points[i].measY;
    }
    transform->Transform(2 * n, x.data(), y.data(), nullptr, ok.data());
    for (size_t i = 0; i < 2 * n; ++i) {
        if (!ok[i]) {
            *error = "--crs: the position of point \"" + set->points[i / 2].id + "\" cannot be transformed to WGS84";
            return false;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        set->points[i].refX = x[2 * i], set->points[i].refY = y[2 * i];
        set->points[i].measX = x[2 * i + 1], set->points[i].measY = y[2 * i + 1];
    }
    set->geographic = true;
    return true;
}

}  // namespace zassess
