// The headless host's automation interface, images part: what coordinate
// system an image file is in, in words a user knows, and how many markers lie
// on an image, so that a front end can say why files that do not belong
// together do not fit.
#ifndef ZHA_IMAGE_COORDINATES_H
#define ZHA_IMAGE_COORDINATES_H

#include <stddef.h>

#include <string>

#include "zdis.h"

namespace zha {

struct ImageCoordinates {
    bool readable = false;    // GDAL opened the file as a raster
    bool geographic = false;  // latitude and longitude (also an image read through its RPC model)
    bool rpc = false;         // it carries an RPC sensor model (metadata, RPC00B or a sidecar)
    bool map = false;         // a projected coordinate system with a geotransform
    std::string system;       // the coordinate system's name: "WGS 84 / UTM zone 32N", "WGS 84"
    std::string unit;         // "degrees", "metres", "feet", "US survey feet" or the CRS's own name
};

// Opens the file read-only (nothing is written beside it) and describes it;
// readable false when GDAL cannot open it.
ImageCoordinates DescribeImageCoordinates(const std::string &file);

// The markers of a kind made on a layer, and how many of them lie within its
// width x height pixels (file coordinates, edges included); counted in place,
// without copying them.
struct MarkersOnLayer {
    size_t count = 0;
    size_t inside = 0;
};
MarkersOnLayer CountMarkersOnLayer(const Zdis_Layer *layer, const std::string &kind, double width, double height);

}  // namespace zha

#endif
