// Conversions of one point, as the tool makes them: ground to image and image
// to ground through an image's transform (affine on a map image, where the
// planar fallback works; RPC on a sensor image), and through the stereo block.
// Targets, on one core: ObjectToFile at least 2,000,000 points per second and
// FileToObject at least 100,000 points per second.
//
// Baselines, on the same models and points: GDAL's RPC transformer ground to
// image, and image to ground at a known height to a millionth of a pixel (a
// single ray, where FileToObject intersects two); and the RPC polynomials
// evaluated bare, term by term (the test fixtures' evaluation). ObjectToFile is held to at least 1.2 times the speed of
// GDAL's transformer, FileToObject to at least a third of GDAL's single ray.
#include <gdal.h>
#include <gdal_alg.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "bench_tool.h"
#include "geometry/geometry.h"

namespace {

const int kGrid = 64;

const char kObjectToFile[] = "ObjectToFile";
const char kFileToObject[] = "FileToObject";
const char kGdalGroundToImage[] = "GDAL RPC transformer, ground to image";
const char kGdalImageToGround[] = "GDAL RPC transformer, image to ground at 1e-6 px";
const char kBareRpc[] = "RPC polynomials evaluated bare";

// Ground points over a scene, with their image points in each image.
struct Points {
    std::vector<double> x, y, z;
    std::vector<double> column[2], row[2];
};

// A started tool and kGrid x kGrid points over its scene, projected into its
// images; problem is empty when all went well.
struct Scene {
    explicit Scene(zb::Kind kind) : tool(kind) {
        problem = tool.Problem();
        const zb::Scene &scene = zb::SceneOf(kind);
        ZOT_Data *record = tool.Record();
        for (int i = 0; problem.empty() && i < kGrid * kGrid; ++i) {
            const double x = scene.minX + (scene.maxX - scene.minX) * ((i % kGrid) + 0.5) / kGrid;
            const double y = scene.minY + (scene.maxY - scene.minY) * ((i / kGrid) + 0.5) / kGrid;
            const double z = scene.height + (i % 13) * 10.0;
            points.x.push_back(x);
            points.y.push_back(y);
            points.z.push_back(z);
            for (int image = 0; image < record->imageCount; ++image) {
                double column = 0.0, row = 0.0;
                Zerr_Report *err = nullptr;
                if (record->imageCount == 1) {
                    GroundToImage(&err, record->fileToMap[0], &x, &y, &z, &column, &row);
                } else {
                    ObjectToFile(&err, image, record->modelInfo, x, y, z, &column, &row);
                }
                if (err) problem = "projecting the points failed: " + zt::TakeReport(&err);
                points.column[image].push_back(column);
                points.row[image].push_back(row);
            }
        }
    }
    zb::Tool tool;
    std::string problem;
    Points points;
};

// Runs convert(record, points, i, &err) once an iteration over the points in turn.
template <typename Convert>
void PerPoint(benchmark::State &state, zb::Kind kind, const char *label, Convert convert) {
    state.SetLabel(label);
    Scene scene(kind);
    if (!scene.problem.empty()) {
        state.SkipWithError(scene.problem.c_str());
        return;
    }
    ZOT_Data *record = scene.tool.Record();
    size_t i = 0;
    for (auto _ : state) {
        Zerr_Report *err = nullptr;
        convert(record, scene.points, i, &err);
        if (err) {
            state.SkipWithError(("the conversion failed: " + zt::TakeReport(&err)).c_str());
            return;
        }
        i = (i + 1) % scene.points.x.size();
    }
    zb::SetPoints(state, 1);
}

void GroundToImageOf(ZOT_Data *record, const Points &p, size_t i, Zerr_Report **err) {
    double column = 0.0, row = 0.0;
    GroundToImage(err, record->fileToMap[0], &p.x[i], &p.y[i], &p.z[i], &column, &row);
    benchmark::DoNotOptimize(column);
    benchmark::DoNotOptimize(row);
}

void ImageToGroundOf(ZOT_Data *record, const Points &p, size_t i, Zerr_Report **err) {
    double x = 0.0, y = 0.0;
    ImageAndGroundZToGroundXY(err, record->fileToMap[0], &p.column[0][i], &p.row[0][i], &p.z[i], &x, &y);
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
}

void BM_GroundToImageAffine(benchmark::State &state) {
    PerPoint(state, zb::Kind::Mono, "GroundToImage, affine", GroundToImageOf);
}
void BM_GroundToImageRpc(benchmark::State &state) {
    PerPoint(state, zb::Kind::MonoRpc, "GroundToImage, RPC", GroundToImageOf);
}
void BM_ImageToGroundAffine(benchmark::State &state) {
    PerPoint(state, zb::Kind::Mono, "ImageAndGroundZToGroundXY, affine", ImageToGroundOf);
}
void BM_ImageToGroundRpc(benchmark::State &state) {
    PerPoint(state, zb::Kind::MonoRpc, "ImageAndGroundZToGroundXY, RPC", ImageToGroundOf);
}

void BM_ObjectToFile(benchmark::State &state) {
    PerPoint(state, zb::Kind::Stereo, kObjectToFile, [](ZOT_Data *record, const Points &p, size_t i,
                                                         Zerr_Report **err) {
        double column = 0.0, row = 0.0;
        ObjectToFile(err, static_cast<int32_t>(i & 1), record->modelInfo, p.x[i], p.y[i], p.z[i], &column, &row);
        benchmark::DoNotOptimize(column);
        benchmark::DoNotOptimize(row);
    });
    zb::MinPointsPerSecond(state, 2000000.0);
}

void BM_FileToObject(benchmark::State &state) {
    PerPoint(state, zb::Kind::Stereo, kFileToObject, [](ZOT_Data *record, const Points &p, size_t i,
                                                         Zerr_Report **err) {
        double x = 0.0, y = 0.0, z = 0.0;
        FileToObject(record->modelInfo, 0, p.column[0][i], p.row[0][i], 1, p.column[1][i], p.row[1][i], &x, &y, &z,
                     err);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(z);
    });
    zb::MinPointsPerSecond(state, 100000.0);
}


const bool kCompared = zb::Compare({
    {kObjectToFile, kGdalGroundToImage, zb::Relation::SpeedAtLeast, 1.2, {}},
    {kObjectToFile, kBareRpc, zb::Relation::SpeedAtLeast, 0.0, {}},
    {kFileToObject, kGdalImageToGround, zb::Relation::SpeedAtLeast, 1.0 / 3.0, {}},
});

// GDAL's RPC transformer of each image of the stereo scene, from GDAL's own
// reading of the image's metadata, iterating image to ground to 1e-6 pixel.
struct GdalTransformers {
    GdalTransformers() {
        GDALAllRegister();
        for (const zt::ImageTruth *image : {&zb::Pair().left, &zb::Pair().right}) {
            GDALDatasetH ds = GDALOpen(image->path.c_str(), GA_ReadOnly);
            GDALRPCInfoV2 info;
            const bool extracted = ds && GDALExtractRPCInfoV2(GDALGetMetadata(ds, "RPC"), &info) != 0;
            if (ds) GDALClose(ds);
            transformers.push_back(extracted ? GDALCreateRPCTransformerV2(&info, FALSE, 1e-6, nullptr) : nullptr);
            if (!transformers.back()) problem = "GDAL cannot make an RPC transformer of " + image->path;
        }
    }
    ~GdalTransformers() {
        for (void *t : transformers) {
            if (t) GDALDestroyRPCTransformer(t);
        }
    }
    std::vector<void *> transformers;
    std::string problem;
};

// Ground to image through GDAL; false when GDAL fails.
bool GdalGroundToImage(void *transformer, double x, double y, double z, double *column, double *row) {
    int ok = 0;
    if (!GDALRPCTransform(transformer, TRUE, 1, &x, &y, &z, &ok) || !ok) return false;
    *column = x;
    *row = y;
    return true;
}

// Image to ground at height z through GDAL; false when GDAL fails.
bool GdalImageToGround(void *transformer, double column, double row, double z, double *x, double *y) {
    int ok = 0;
    if (!GDALRPCTransform(transformer, FALSE, 1, &column, &row, &z, &ok) || !ok) return false;
    *x = column;
    *y = row;
    return true;
}

const zt::RpcModel &ModelOf(size_t image) { return image == 0 ? zb::Pair().left.rpc : zb::Pair().right.rpc; }

// The problem when GDAL's ground to image or the bare evaluation misses
// ObjectToFile by more than a hundred-millionth of a pixel at any point.
std::string CheckGroundToImage(const Scene &scene, const GdalTransformers &gdal) {
    const Points &p = scene.points;
    for (size_t i = 0; i < p.x.size(); ++i) {
        for (size_t image = 0; image < 2; ++image) {
            double gdalColumn = 0, gdalRow = 0, bareColumn = 0, bareRow = 0;
            if (!GdalGroundToImage(gdal.transformers[image], p.x[i], p.y[i], p.z[i], &gdalColumn, &gdalRow)) {
                return "GDAL cannot map a ground point";
            }
            zt::RpcGroundToFile(ModelOf(image), p.x[i], p.y[i], p.z[i], &bareColumn, &bareRow);
            const double column = p.column[image][i], row = p.row[image][i];
            if (std::fabs(gdalColumn - column) > 1e-8 || std::fabs(gdalRow - row) > 1e-8) {
                return "GDAL's image point differs from ObjectToFile's";
            }
            if (std::fabs(bareColumn - column) > 1e-8 || std::fabs(bareRow - row) > 1e-8) {
                return "the bare evaluation differs from ObjectToFile";
            }
        }
    }
    return "";
}

// The problem when GDAL's single ray through the left image point, at the
// height FileToObject finds, misses FileToObject's ground point by 0.1 mm.
std::string CheckImageToGround(Scene &scene, const GdalTransformers &gdal) {
    const Points &p = scene.points;
    ZOT_Data *record = scene.tool.Record();
    for (size_t i = 0; i < p.x.size(); ++i) {
        double x = 0, y = 0, z = 0, gdalX = 0, gdalY = 0;
        Zerr_Report *err = nullptr;
        FileToObject(record->modelInfo, 0, p.column[0][i], p.row[0][i], 1, p.column[1][i], p.row[1][i], &x, &y, &z,
                     &err);
        if (err) return "FileToObject failed: " + zt::TakeReport(&err);
        if (!GdalImageToGround(gdal.transformers[0], p.column[0][i], p.row[0][i], z, &gdalX, &gdalY)) {
            return "GDAL cannot map an image point";
        }
        const double metersPerDegree = 111132.95;
        const double east = (gdalX - x) * metersPerDegree * std::cos(y * M_PI / 180.0);
        const double north = (gdalY - y) * metersPerDegree;
        if (std::hypot(east, north) > 1e-4) return "GDAL's ground point differs from FileToObject's";
    }
    return "";
}

// Runs convert(transformers, points, i) once an iteration over the points of
// the stereo scene in turn, after checking the baselines once.
template <typename Convert>
void Baseline(benchmark::State &state, const char *label, Convert convert) {
    state.SetLabel(label);
    Scene scene(zb::Kind::Stereo);
    GdalTransformers gdal;
    const std::string problem = scene.problem.empty() ? gdal.problem : scene.problem;
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    if (!zb::CheckOnce(state, kGdalGroundToImage, [&] { return CheckGroundToImage(scene, gdal); }) ||
        !zb::CheckOnce(state, kGdalImageToGround, [&] { return CheckImageToGround(scene, gdal); })) {
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        if (!convert(gdal.transformers, scene.points, i)) {
            state.SkipWithError("the conversion failed");
            return;
        }
        i = (i + 1) % scene.points.x.size();
    }
    zb::SetPoints(state, 1);
}

void BM_GdalGroundToImage(benchmark::State &state) {
    Baseline(state, kGdalGroundToImage, [](const std::vector<void *> &t, const Points &p, size_t i) {
        double column = 0.0, row = 0.0;
        const bool ok = GdalGroundToImage(t[i & 1], p.x[i], p.y[i], p.z[i], &column, &row);
        benchmark::DoNotOptimize(column);
        benchmark::DoNotOptimize(row);
        return ok;
    });
}

void BM_GdalImageToGround(benchmark::State &state) {
    Baseline(state, kGdalImageToGround, [](const std::vector<void *> &t, const Points &p, size_t i) {
        double x = 0.0, y = 0.0;
        const bool ok = GdalImageToGround(t[0], p.column[0][i], p.row[0][i], p.z[i], &x, &y);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        return ok;
    });
}

void BM_BareRpc(benchmark::State &state) {
    Baseline(state, kBareRpc, [](const std::vector<void *> &, const Points &p, size_t i) {
        double column = 0.0, row = 0.0;
        zt::RpcGroundToFile(ModelOf(i & 1), p.x[i], p.y[i], p.z[i], &column, &row);
        benchmark::DoNotOptimize(column);
        benchmark::DoNotOptimize(row);
        return true;
    });
}

BENCHMARK(BM_GroundToImageAffine);
BENCHMARK(BM_GroundToImageRpc);
BENCHMARK(BM_ImageToGroundAffine);
BENCHMARK(BM_ImageToGroundRpc);
BENCHMARK(BM_ObjectToFile);
BENCHMARK(BM_FileToObject);
BENCHMARK(BM_GdalGroundToImage);
BENCHMARK(BM_GdalImageToGround);
BENCHMARK(BM_BareRpc);

}  // namespace

ZB_MAIN()
