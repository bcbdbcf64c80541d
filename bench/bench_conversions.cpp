// Conversions of one point, as the tool makes them: ground to image and image
// to ground through an image's transform (affine on a map image, where the
// planar fallback works; RPC on a sensor image), and through the stereo block.
// Targets, on one core: ObjectToFile at least 2,000,000 points per second and
// FileToObject at least 100,000 points per second.
#include <vector>

#include "bench_support.h"
#include "bench_tool.h"
#include "geometry/geometry.h"

namespace {

const int kGrid = 64;

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
    PerPoint(state, zb::Kind::Stereo, "ObjectToFile", [](ZOT_Data *record, const Points &p, size_t i,
                                                         Zerr_Report **err) {
        double column = 0.0, row = 0.0;
        ObjectToFile(err, static_cast<int32_t>(i & 1), record->modelInfo, p.x[i], p.y[i], p.z[i], &column, &row);
        benchmark::DoNotOptimize(column);
        benchmark::DoNotOptimize(row);
    });
    zb::MinPointsPerSecond(state, 2000000.0);
}

void BM_FileToObject(benchmark::State &state) {
    PerPoint(state, zb::Kind::Stereo, "FileToObject", [](ZOT_Data *record, const Points &p, size_t i,
                                                         Zerr_Report **err) {
        double x = 0.0, y = 0.0, z = 0.0;
        FileToObject(record->modelInfo, 0, p.column[0][i], p.row[0][i], 1, p.column[1][i], p.row[1][i], &x, &y, &z,
                     err);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(z);
    });
    zb::MinPointsPerSecond(state, 100000.0);
}

BENCHMARK(BM_GroundToImageAffine);
BENCHMARK(BM_GroundToImageRpc);
BENCHMARK(BM_ImageToGroundAffine);
BENCHMARK(BM_ImageToGroundRpc);
BENCHMARK(BM_ObjectToFile);
BENCHMARK(BM_FileToObject);

}  // namespace

ZB_MAIN()
