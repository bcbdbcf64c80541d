// Raster layers: the bands of a GDAL dataset, and their georeferencing.
//
// A layer reads what it needs from the dataset when it opens (size,
// geotransform, coordinate system, RPC metadata) and closes the dataset at
// once, so an open layer holds no file. Layer names are "<file>:<band>"
// (bands count from 1); a name without a trailing ":<digits>" is a file whose
// first band is meant.
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>

#include "toolkit/core/core_support.h"
#include "toolkit/core/files.h"
#include "toolkit/core/instrument.h"
#include "toolkit/geo/geo_internal.h"
#include "zimg.h"
#include "zstr.h"

struct Zimg_LayerImpl {
    std::string fileName;
    int band = 1;
    bool hasGeoTransform = false;
    double geoTransform[6] = {};
    std::string crsWkt;  // empty when the dataset names no coordinate system
    bool rpcPresent = false;
    bool rpcValid = false;
    zhg::Rpc rpc;
    std::string rpcProblem;  // why the RPC metadata is unusable, when present but not valid
};

namespace zhg {

namespace {

void QuietHandler(CPLErr, CPLErrorNum, const char *) {}

}  // namespace

GdalQuiet::GdalQuiet() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(QuietHandler);
    CPLErrorReset();
}

GdalQuiet::~GdalQuiet() { CPLPopErrorHandler(); }

std::string GdalMessage(const char *fallback) {
    const char *message = CPLGetLastErrorMsg();
    return message && *message ? message : fallback;
}

GDALDatasetH OpenRaster(const char *fileName, std::string *message) {
    GDALDatasetH ds = GDALOpenEx(fileName, GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr, nullptr);
    if (!ds) {
        *message = std::string("Cannot read ") + fileName + " as an image: " +
                   GdalMessage("no raster format recognises it.");
    } else if (GDALGetRasterCount(ds) < 1) {
        *message = std::string("Image ") + fileName + " holds no raster bands.";
        GDALClose(ds);
        ds = nullptr;
    }
    return ds;
}

}  // namespace zhg

namespace {

constexpr const char *kGeographicName = "Geographic (Lat/Lon)";

// Splits "<file>:<band>"; a name without a band suffix means band 1.
void SplitLayerName(const std::string &name, std::string *file, int *band) {
    const std::string::size_type colon = name.find_last_of(':');
    if (colon != std::string::npos && colon + 1 < name.size() && colon > 0 &&
        name.find_first_not_of("0123456789", colon + 1) == std::string::npos && name.size() - colon <= 10) {
        *file = name.substr(0, colon);
        *band = std::atoi(name.c_str() + colon + 1);
    } else {
        *file = name;
        *band = 1;
    }
}

// What a layer's georeferencing amounts to.
struct Georeferencing {
    bool rpc = false;  // an RPC transform rather than an affine one
    OGRSpatialReference srs;
    std::string projectionName;
    std::string unitsName;
};

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-12 * std::fabs(b); }

bool Describe(const Zimg_LayerImpl &layer, Georeferencing *g, std::string *message) {
    const char *file = layer.fileName.c_str();
    g->srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    if (!layer.hasGeoTransform) {
        if (!layer.rpcPresent) {
            *message = std::string("Image ") + file + " is not georeferenced.";
            return false;
        }
        if (!layer.rpcValid) {
            *message = layer.rpcProblem;
            return false;
        }
        // RPC ground coordinates are WGS84 longitude, latitude and height.
        g->rpc = true;
        g->srs.SetWellKnownGeogCS("WGS84");
        g->projectionName = kGeographicName;
        g->unitsName = "degrees";
        return true;
    }
    if (layer.crsWkt.empty() || g->srs.importFromWkt(layer.crsWkt.c_str()) != OGRERR_NONE) {
        *message = std::string("Image ") + file + " has a geotransform but no coordinate system.";
        return false;
    }
    if (g->srs.IsGeographic()) {
        const char *unit = nullptr;
        const double factor = g->srs.GetAngularUnits(&unit);
        if (!Near(factor, std::acos(-1.0) / 180.0)) {
            *message = std::string("Image ") + file + " uses the angular unit " + (unit ? unit : "?") +
                       "; only degrees are supported.";
            return false;
        }
        g->projectionName = kGeographicName;
        g->unitsName = "degrees";
        return true;
    }
    if (!g->srs.IsProjected()) {
        *message = std::string("Image ") + file + " is in a coordinate system that is neither geographic nor projected.";
        return false;
    }
    const char *method = g->srs.GetAttrValue("PROJECTION");
    g->projectionName = method && *method ? method : "Unnamed projection";
    const char *unit = nullptr;
    const double factor = g->srs.GetLinearUnits(&unit);
    if (Near(factor, 1.0)) {
        g->unitsName = "meters";
    } else if (Near(factor, 0.3048)) {
        g->unitsName = "feet";
    } else if (Near(factor, 1200.0 / 3937.0)) {
        g->unitsName = "us_survey_feet";
    } else {
        *message = std::string("Image ") + file + " uses the linear unit " + (unit ? unit : "?") +
                   "; only meters, feet and US survey feet are supported.";
        return false;
    }
    return true;
}

}  // namespace

Zstr_StringList *zimg_LayerGetNames(const char *fileName, Zint_Context *, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zimg_LayerGetNames", err)) return nullptr;
    if (!fileName || !*fileName) {
        zhc::Fail(err, "zimg_LayerGetNames", __LINE__, nullptr, "No image file name given.");
        return nullptr;
    }
    int bands = 0;
    {
        zhg::GdalQuiet quiet;
        std::string message;
        GDALDatasetH ds = zhg::OpenRaster(fileName, &message);
        if (!ds) {
            zhc::Fail(err, "zimg_LayerGetNames", __LINE__, nullptr, "%s", message.c_str());
            return nullptr;
        }
        bands = GDALGetRasterCount(ds);
        GDALClose(ds);
    }
    Zstr_StringList *names = nullptr;
    for (int band = 1; band <= bands; ++band) {
        const std::string name = std::string(fileName) + ":" + std::to_string(band);
        Zerr_Report *cause = nullptr;
        names = zstr_StringListAppend(names, name.c_str(), &cause);
        if (cause) {
            zstr_StringListDelete(&names, nullptr);
            zhc::Fail(err, "zimg_LayerGetNames", __LINE__, cause, "Cannot list the layers of %s.", fileName);
            return nullptr;
        }
    }
    return names;
}

Zimg_Layer *zimg_LayerOpen(const char *layerName, Zint_Context *, Zerr_Report **err, ...) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zimg_LayerOpen", err)) return nullptr;
    if (!layerName || !*layerName) {
        zhc::Fail(err, "zimg_LayerOpen", __LINE__, nullptr, "No layer name given.");
        return nullptr;
    }
    // Options end with 0; 3 (read) is the only one a read-only toolkit knows.
    va_list options;
    va_start(options, err);
    int unknown = 0;
    for (int option = va_arg(options, int); option != 0; option = va_arg(options, int)) {
        if (option != 3 && unknown == 0) unknown = option;
    }
    va_end(options);
    if (unknown != 0) {
        zhc::Fail(err, "zimg_LayerOpen", __LINE__, nullptr, "Unknown option %d opening layer %s.", unknown,
                  layerName);
        return nullptr;
    }

    auto impl = std::make_unique<Zimg_LayerImpl>();
    SplitLayerName(layerName, &impl->fileName, &impl->band);
    int width = 0, height = 0;
    {
        zhg::GdalQuiet quiet;
        std::string message;
        GDALDatasetH ds = zhg::OpenRaster(impl->fileName.c_str(), &message);
        if (!ds) {
            zhc::Fail(err, "zimg_LayerOpen", __LINE__, nullptr, "%s", message.c_str());
            return nullptr;
        }
        if (impl->band < 1 || impl->band > GDALGetRasterCount(ds)) {
            zhc::Fail(err, "zimg_LayerOpen", __LINE__, nullptr, "Image %s has no layer %d (it has %d).",
                      impl->fileName.c_str(), impl->band, GDALGetRasterCount(ds));
            GDALClose(ds);
            return nullptr;
        }
        GDALRasterBandH band = GDALGetRasterBand(ds, impl->band);
        width = GDALGetRasterBandXSize(band);
        height = GDALGetRasterBandYSize(band);
        impl->hasGeoTransform = GDALGetGeoTransform(ds, impl->geoTransform) == CE_None;
        const char *wkt = GDALGetProjectionRef(ds);
        impl->crsWkt = wkt ? wkt : "";
        impl->rpcValid = zhg::RpcFromMetadata(GDALGetMetadata(ds, "RPC"), impl->fileName.c_str(), &impl->rpc,
                                              &impl->rpcPresent, &impl->rpcProblem);
        // A NITF's geotransform comes from its corner coordinates (whole
        // arc-seconds, no terrain): a complete RPC00B model is its real
        // georeferencing. Other images with a geotransform are read through it.
        const char *driver = GDALGetDriverShortName(GDALGetDatasetDriver(ds));
        if (impl->rpcValid && driver && EQUAL(driver, "NITF")) impl->hasGeoTransform = false;
        // The image's own files (overviews, side files with its RPC model or
        // statistics) are never written over while the layer is open.
        char **files = GDALGetFileList(ds);
        std::vector<std::string> names;
        for (char **name = files; name && *name; ++name) names.push_back(*name);
        CSLDestroy(files);
        zhc::HoldFiles(impl.get(), impl->fileName, names);
        GDALClose(ds);
    }
    Zimg_Layer *layer = new Zimg_Layer{width, height, impl.release()};
    zhc::LiveAdd("layer");
    return layer;
}

int32_t zimg_LayerMapInformationRead(Zimg_Layer *layer, char **projectionName, char **unitsName,
                                     Zxfr_XForm **mapToFile, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (projectionName) *projectionName = nullptr;
    if (unitsName) *unitsName = nullptr;
    if (mapToFile) *mapToFile = nullptr;
    if (zhc::FaultHit("zimg_LayerMapInformationRead", err)) return 0;
    if (!layer || !layer->impl) {
        zhc::Fail(err, "zimg_LayerMapInformationRead", __LINE__, nullptr, "No layer given.");
        return 0;
    }
    const Zimg_LayerImpl &impl = *layer->impl;
    Georeferencing g;
    std::string message;
    if (!Describe(impl, &g, &message)) {
        zhc::Fail(err, "zimg_LayerMapInformationRead", __LINE__, nullptr, "%s", message.c_str());
        return 0;
    }
    Zxfr_XForm *xform = nullptr;
    if (mapToFile) {
        xform = g.rpc ? zhg::NewRpcXForm(impl.rpc, impl.fileName.c_str())
                      : zhg::NewAffineXForm(impl.geoTransform, impl.fileName.c_str(), &message);
        if (!xform) {
            zhc::Fail(err, "zimg_LayerMapInformationRead", __LINE__, nullptr, "%s", message.c_str());
            return 0;
        }
        xform->fileToMap = false;
    } else if (!g.rpc) {
        // The geotransform is checked even when the caller does not want it.
        double inverse[6];
        if (!zhg::AffineInverse(impl.geoTransform, inverse, impl.fileName.c_str(), &message)) {
            zhc::Fail(err, "zimg_LayerMapInformationRead", __LINE__, nullptr, "%s", message.c_str());
            return 0;
        }
    }
    if (projectionName) *projectionName = zhc::HeapText(g.projectionName.c_str());
    if (unitsName) *unitsName = zhc::HeapText(g.unitsName.c_str());
    if (mapToFile) *mapToFile = xform;
    return 1;
}

int32_t zimg_LayerMapProjectionRead(Zimg_Layer *layer, Zprj_Projection **projection, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (projection) *projection = nullptr;
    if (zhc::FaultHit("zimg_LayerMapProjectionRead", err)) return 0;
    if (!layer || !layer->impl || !projection) {
        zhc::Fail(err, "zimg_LayerMapProjectionRead", __LINE__, nullptr,
                  layer ? "No place for the projection given." : "No layer given.");
        return 0;
    }
    Georeferencing g;
    std::string message;
    if (!Describe(*layer->impl, &g, &message)) {
        zhc::Fail(err, "zimg_LayerMapProjectionRead", __LINE__, nullptr, "%s", message.c_str());
        return 0;
    }
    *projection = new Zprj_Projection();
    zhg::SetCoordinateSystem(&(*projection)->parameters, g.srs);
    zhc::LiveAdd("projection");
    return 1;
}

int32_t zimg_LayerClose(Zimg_Layer *layer, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!layer) return 1;
    // An injected failure still closes the layer, so that nothing is lost.
    const bool injected = zhc::FaultHit("zimg_LayerClose", err);
    zhc::ReleaseFiles(layer->impl);
    delete layer->impl;
    delete layer;
    zhc::LiveRemove("layer");
    return injected ? 0 : 1;
}
