// What coordinate system an image is in, read with GDAL as the toolkit reads it.
#include "automation/image_coordinates.h"

#include <cmath>

#include <gdal.h>
#include <ogr_spatialref.h>

#include "toolkit/display/display_state.h"

namespace zha {

namespace {

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-12 * std::fabs(b); }

std::string LinearUnit(const OGRSpatialReference &srs) {
    const char *name = nullptr;
    const double factor = srs.GetLinearUnits(&name);
    if (Near(factor, 1.0)) return "metres";
    if (Near(factor, 0.3048)) return "feet";
    if (Near(factor, 1200.0 / 3937.0)) return "US survey feet";
    return name ? name : "unknown units";
}

}  // namespace

ImageCoordinates DescribeImageCoordinates(const std::string &file) {
    ImageCoordinates out;
    GDALDatasetH ds = GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!ds) return out;
    out.readable = true;
    out.rpc = GDALGetMetadata(ds, "RPC") != nullptr;
    double geoTransform[6];
    const bool hasGeoTransform = GDALGetGeoTransform(ds, geoTransform) == CE_None;
    const OGRSpatialReference *srs = OGRSpatialReference::FromHandle(GDALGetSpatialRef(ds));
    if (hasGeoTransform && srs && srs->IsProjected()) {
        out.map = true;
        out.system = srs->GetName() ? srs->GetName() : "a map projection";
        out.unit = LinearUnit(*srs);
    } else if (hasGeoTransform && srs && srs->IsGeographic()) {
        out.geographic = true;
        out.system = srs->GetName() ? srs->GetName() : "latitude and longitude";
        out.unit = "degrees";
    } else if (out.rpc) {
        // RPC ground coordinates are WGS84 longitude, latitude and height.
        out.geographic = true;
        out.system = "WGS 84";
        out.unit = "degrees";
    }
    GDALClose(ds);
    return out;
}

MarkersOnLayer CountMarkersOnLayer(const Zdis_Layer *layer, const std::string &kind, double width, double height) {
    MarkersOnLayer out;
    for (const Zdis_Selector *marker : ZdisGetState().selectors.All()) {
        if (marker->layer != layer || static_cast<const std::string &>(marker->kind) != kind) continue;
        ++out.count;
        if (marker->x >= 0 && marker->y >= 0 && marker->x <= width && marker->y <= height) ++out.inside;
    }
    return out;
}

}  // namespace zha
