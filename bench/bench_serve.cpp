// The browser workspace's speed: a 256 x 256 tile of a 20,000 x 20,000
// GeoTIFF with and without overviews (target: p95 at most 30 ms with them),
// beside the bare GDAL read and PNG encoding of the same window; the server's
// time from a click's request to its view answer with 10,000 points open
// (target: at most 20 ms); and the memory one open image takes.
//
// Tile latencies are wall-clock per tile, over a fixed random walk of tiles
// across every zoom level; p50 and p95 are printed as counters (and in the
// table's label), the CPU time per tile is what the table checks.
#include <cpl_vsi.h>
#include <gdal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <httplib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "app/actions.h"
#include "app/view.h"
#include "app/view_json.h"
#include "bench_support.h"
#include "bench_tool.h"
#include "fixtures/temp_dir.h"
#include "serve/http_server.h"
#include "serve/tiles.h"
#include "serve/workspace.h"

namespace {

constexpr int kSide = 20000;

// The large image, written once per run: a Byte GeoTIFF in 256-pixel DEFLATE
// tiles holding a field-like texture, so that reads decompress real blocks.
// The copy with overviews gets them in an .ovr beside it, as the workspace
// builds them.
struct LargeImages {
    zt::TempDir folder;
    std::string plain, withOverviews;
    LargeImages() {
        GDALAllRegister();
        plain = folder.File("large.tif");
        const char *options[] = {"TILED=YES", "COMPRESS=DEFLATE", "ZLEVEL=1", "BLOCKXSIZE=256", "BLOCKYSIZE=256",
                                 nullptr};
        GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), plain.c_str(), kSide, kSide, 1, GDT_Byte,
                                     const_cast<char **>(options));
        std::vector<uint8_t> rows(static_cast<size_t>(kSide) * 256);
        std::mt19937 noise(7);
        for (int y0 = 0; y0 < kSide; y0 += 256) {
            const int height = std::min(256, kSide - y0);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < kSide; ++x) {
                    const int field = ((x / 700) * 7 + ((y0 + y) / 500) * 13) % 5;
                    rows[static_cast<size_t>(y) * kSide + x] =
                        static_cast<uint8_t>(60 + field * 30 + static_cast<int>(noise() % 24));
                }
            if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, y0, kSide, height, rows.data(), kSide, height,
                             GDT_Byte, 0, 0) != CE_None)
                std::abort();
        }
        GDALClose(ds);
        withOverviews = folder.File("large_ovr.tif");
        std::filesystem::copy_file(plain, withOverviews);
        std::string why;
        if (!zsrv::BuildOverviews(withOverviews, [](double) { return true; }, &why)) std::abort();
    }
};

LargeImages &Images() {
    static LargeImages images;
    return images;
}

struct TileAddress {
    int z;
    long long x, y;
};

// A fixed walk: each zoom level equally often, at random tiles inside the image.
std::vector<TileAddress> TileWalk(int minZoom, size_t count) {
    std::mt19937 random(11);
    std::vector<TileAddress> walk;
    for (size_t i = 0; i < count; ++i) {
        const int z = -static_cast<int>(i % static_cast<size_t>(1 - minZoom));
        const long long tiles = (kSide + (256LL << -z) - 1) / (256LL << -z);
        walk.push_back({z, static_cast<long long>(random() % tiles), static_cast<long long>(random() % tiles)});
    }
    return walk;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()))];
}

void RecordLatencies(benchmark::State &state, const std::vector<double> &seconds, const char *what) {
    const double p50 = Percentile(seconds, 0.5), p95 = Percentile(seconds, 0.95);
    state.counters["p50_ms"] = p50 * 1e3;
    state.counters["p95_ms"] = p95 * 1e3;
    state.SetLabel(std::string(what) + zb::Format(" (p50 %.1f ms,", p50 * 1e3) +
                   zb::Format(" p95 %.1f ms)", p95 * 1e3));
}

void TileLatency(benchmark::State &state, const std::string &path, const char *what) {
    std::string why;
    std::unique_ptr<zsrv::TileImage> image = zsrv::TileImage::Open(path, &why);
    if (!image) return state.SkipWithError(why.c_str());
    const std::vector<TileAddress> walk = TileWalk(image->MinZoom(), 512);
    std::vector<double> seconds;
    size_t i = 0;
    for (auto _ : state) {
        const TileAddress &tile = walk[i++ % walk.size()];
        std::string png;
        const auto begin = std::chrono::steady_clock::now();
        if (image->Render(tile.z, tile.x, tile.y, zsrv::Contrast{}, &png, &why) != zsrv::TileStatus::kOk)
            return state.SkipWithError(why.c_str());
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        benchmark::DoNotOptimize(png.data());
    }
    RecordLatencies(state, seconds, what);
}

void BM_TileWithOverviews(benchmark::State &state) {
    zb::MaxSeconds(state, 0.030);
    TileLatency(state, Images().withOverviews, "Tile 256x256 of 20000^2, overviews");
}
BENCHMARK(BM_TileWithOverviews)->Iterations(512)->Unit(benchmark::kMillisecond);

void BM_TileWithoutOverviews(benchmark::State &state) {
    TileLatency(state, Images().plain, "Tile 256x256 of 20000^2, no overviews");
}
BENCHMARK(BM_TileWithoutOverviews)->Iterations(24)->Unit(benchmark::kMillisecond);

// The bare baseline: the same windows read by GDAL's own overview choice
// straight into 8-bit pixels and encoded by the same PNG driver, with no
// stretch and no transparency.
void BM_TileBareGdal(benchmark::State &state) {
    GDALDatasetH ds = GDALOpen(Images().withOverviews.c_str(), GA_ReadOnly);
    GDALDriverH mem = GDALGetDriverByName("MEM"), png = GDALGetDriverByName("PNG");
    const std::vector<TileAddress> walk = TileWalk(-7, 512);
    std::vector<uint8_t> pixels(256 * 256);
    std::vector<double> seconds;
    size_t i = 0;
    for (auto _ : state) {
        const TileAddress &tile = walk[i++ % walk.size()];
        const long long span = 256LL << -tile.z, x0 = tile.x * span, y0 = tile.y * span;
        const int w = static_cast<int>(std::min(span, kSide - x0)), h = static_cast<int>(std::min(span, kSide - y0));
        const int bw = static_cast<int>((w * 256 + span - 1) / span);
        const int bh = static_cast<int>((h * 256 + span - 1) / span);
        const auto begin = std::chrono::steady_clock::now();
        if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, static_cast<int>(x0), static_cast<int>(y0), w, h,
                         pixels.data(), bw, bh, GDT_Byte, 0, 256) != CE_None)
            return state.SkipWithError("read failed");
        GDALDatasetH picture = GDALCreate(mem, "", 256, 256, 1, GDT_Byte, nullptr);
        if (GDALRasterIO(GDALGetRasterBand(picture, 1), GF_Write, 0, 0, 256, 256, pixels.data(), 256, 256, GDT_Byte,
                         0, 0) != CE_None)
            return state.SkipWithError("write failed");
        const char *options[] = {"ZLEVEL=1", nullptr};
        GDALClose(GDALCreateCopy(png, "/vsimem/bare.png", picture, FALSE, const_cast<char **>(options), nullptr,
                                 nullptr));
        GDALClose(picture);
        VSIUnlink("/vsimem/bare.png");
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    GDALClose(ds);
    RecordLatencies(state, seconds, "Tile baseline: GDAL read + PNG");
}
BENCHMARK(BM_TileBareGdal)->Iterations(512)->Unit(benchmark::kMillisecond);

// Heap memory one open image adds (its GDAL dataset, its stretch, and the
// blocks GDAL keeps cached from reading the histogram), from twenty opened
// side by side, each with the GDAL block cache emptied first.
void BM_MemoryPerOpenImage(benchmark::State &state) {
    const std::string path = Images().withOverviews;
    double perImage = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<zsrv::TileImage>> open;
        std::string why;
        while (GDALFlushCacheBlock()) {
        }
        const double before = static_cast<double>(mallinfo2().uordblks);
        for (int i = 0; i < 20; ++i) open.push_back(zsrv::TileImage::Open(path, &why));
        perImage = (static_cast<double>(mallinfo2().uordblks) - before) / 20;
    }
    state.counters["bytes_per_image"] = perImage;
    state.SetLabel(zb::Format("Memory per open image: %.0f KiB", perImage / 1024));
}
BENCHMARK(BM_MemoryPerOpenImage)->Iterations(1)->Unit(benchmark::kMillisecond);

// The server with the stereo pair started and 10,000 points open, in this
// process, on a loopback port; the page's requests come from a client here.
class StereoServer {
public:
    StereoServer() {
        zt::InstallModule();
        const zb::Scene &scene = zb::SceneOf(zb::Kind::Stereo);
        points_ = zb::PointsFile(zb::Kind::Stereo, kPoints);
        if (chdir(zb::Folder().Path().c_str()) != 0) std::abort();
        workspace_ = std::make_unique<zsrv::Workspace>(zb::Folder().Path());
        workspace_->Thread().Run([] { zapp::ResetHost(ZOT_SOURCE_DIR "/ui"); });
        zsrv::ServerOptions options;
        options.port = 0;
        options.token = "bench";
        server_ = std::make_unique<zsrv::HttpServer>(options, *workspace_);
        std::string why;
        if (!server_->Bind(&why)) std::abort();
        serving_ = std::thread([this] { server_->Serve(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
        Act(nlohmann::json{{"action", "start"},
                           {"left", scene.images[0].substr(scene.images[0].rfind('/') + 1)},
                           {"right", scene.images[1].substr(scene.images[1].rfind('/') + 1)}});
        Act(nlohmann::json{{"action", "open"}, {"file", points_.substr(points_.rfind('/') + 1)}});
    }
    ~StereoServer() {
        server_->Stop();
        serving_.join();
    }
    // The reply's status; the page's request as it sends it.
    int Act(const nlohmann::json &request) {
        const auto result =
            client_->Post("/api/action", {{"X-Zot-Token", "bench"}}, request.dump(), "application/json");
        return result ? result->status : 0;
    }
    static constexpr int kPoints = 10000;

private:
    std::string points_;
    std::unique_ptr<zsrv::Workspace> workspace_;
    std::unique_ptr<zsrv::HttpServer> server_;
    std::thread serving_;
    std::unique_ptr<httplib::Client> client_;
};

// A click in the left zoomed pane, as the page sends it (with the 40 table
// rows it shows), to the view answer back, over loopback HTTP.
StereoServer &Server() {
    static StereoServer server;
    return server;
}

void BM_ClickToView(benchmark::State &state) {
    StereoServer &server = Server();
    zb::MaxSeconds(state, 0.020);
    const nlohmann::json click{{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 400.25},
                               {"y", 400.5}, {"window", {{"first", 5000}, {"count", 40}}}};
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (server.Act(click) != 200) return state.SkipWithError("the click was refused");
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    RecordLatencies(state, seconds, "Click to view, 10,000 points, HTTP");
}
BENCHMARK(BM_ClickToView)->Iterations(300)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The bare baseline: the same click and the same view, made and turned into
// JSON text on this thread (while the server is idle), without HTTP, the
// module thread or the session.
void BM_ClickToViewBare(benchmark::State &state) {
    Server();
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        const zapp::ActionResult result = zapp::act::Click(zapp::PaneId{0, 1}, 400.25, 400.5);
        zapp::ViewRequest request;
        request.firstRow = 5000;
        request.rowCount = 40;
        request.markers = request.paneMarkers = false;
        const std::string text = nlohmann::json{{"view", zapp::ToJson(zapp::BuildView(request))},
                                                {"result", zapp::ToJson(result)}}
                                     .dump();
        benchmark::DoNotOptimize(text.data());
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    RecordLatencies(state, seconds, "Click to view baseline: action + view JSON");
}
BENCHMARK(BM_ClickToViewBare)->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

ZB_MAIN()
