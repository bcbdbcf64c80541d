// Speed of the stereo block's conversions on the synthetic RPC pair.
// Targets, on one core: zblk_ObjectToFile at least 2,000,000 points per
// second and zblk_FileToObject at least 100,000 points per second. Each is
// measured one point per call (as the tool converts) and in batches.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "zblk.h"
#include "zerr.h"
#include "zpho.h"
#include "zstr.h"

namespace {

const int kPoints = 4096;

// The pair's block and a grid of ground points over its area with their image
// points in both images.
class BlockBench {
public:
    BlockBench() {
        const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "bench", zt::RpcStorage::GeoTiffTag);
        Zstr_StringList *names = zstr_StringListAppend(nullptr, pair.left.path.c_str(), nullptr);
        names = zstr_StringListAppend(names, pair.right.path.c_str(), nullptr);
        Zerr_Report *err = nullptr;
        data_ = zpho_BlockCreateFromImages(0, "dd", "meters", "dd", nullptr, "NITF RPC", 0, names, 0, &err);
        zstr_StringListDelete(&names, nullptr);
        zerr_DeleteErrorReportEx(&err);
        info_ = data_ ? zpho_BlockModelInfoGet(data_, nullptr) : nullptr;
        for (int i = 0; i < kPoints; ++i) {
            ground_.push_back(6.998 + 0.004 * (i % 64) / 64.0);
            ground_.push_back(44.9985 + 0.003 * (i / 64) / 64.0);
            ground_.push_back(200.0 + (i % 13) * 50.0);
        }
        left_.resize(2 * kPoints);
        right_.resize(2 * kPoints);
        ok_ = info_ && zblk_ObjectToFile(info_, 0, kPoints, ground_.data(), left_.data(), 1) &&
              zblk_ObjectToFile(info_, 1, kPoints, ground_.data(), right_.data(), 1);
    }
    ~BlockBench() { zpho_BlockDataFree(&data_, nullptr); }

    bool Ok() const { return ok_; }
    const Zpho_ModelInfo *Info() const { return info_; }
    const double *Ground(int i) const { return &ground_[3 * static_cast<size_t>(i)]; }
    const double *Left(int i) const { return &left_[2 * static_cast<size_t>(i)]; }
    const double *Right(int i) const { return &right_[2 * static_cast<size_t>(i)]; }

private:
    zt::TempDir dir_;
    Zpho_BlockData *data_ = nullptr;
    Zpho_ModelInfo *info_ = nullptr;
    std::vector<double> ground_, left_, right_;
    bool ok_ = false;
};

BlockBench &Bench() {
    static BlockBench bench;
    return bench;
}

void BM_ObjectToFileOnePointPerCall(benchmark::State &state) {
    BlockBench &b = Bench();
    if (!b.Ok()) {
        state.SkipWithError("the block could not be built");
        return;
    }
    double image[2];
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zblk_ObjectToFile(b.Info(), i & 1, 1, b.Ground(i), image, 1));
        benchmark::DoNotOptimize(image);
        i = (i + 1) % kPoints;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ObjectToFileOnePointPerCall);

void BM_ObjectToFileBatch(benchmark::State &state) {
    BlockBench &b = Bench();
    if (!b.Ok()) {
        state.SkipWithError("the block could not be built");
        return;
    }
    std::vector<double> image(2 * kPoints);
    for (auto _ : state) {
        benchmark::DoNotOptimize(zblk_ObjectToFile(b.Info(), 0, kPoints, b.Ground(0), image.data(), 1));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_ObjectToFileBatch);

void BM_FileToObjectOnePointPerCall(benchmark::State &state) {
    BlockBench &b = Bench();
    if (!b.Ok()) {
        state.SkipWithError("the block could not be built");
        return;
    }
    double ground[3];
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zblk_FileToObject(b.Info(), 0, 1, 1, b.Left(i), b.Right(i), ground, 1));
        benchmark::DoNotOptimize(ground);
        i = (i + 1) % kPoints;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileToObjectOnePointPerCall);

void BM_FileToObjectBatch(benchmark::State &state) {
    BlockBench &b = Bench();
    if (!b.Ok()) {
        state.SkipWithError("the block could not be built");
        return;
    }
    std::vector<double> ground(3 * kPoints);
    for (auto _ : state) {
        benchmark::DoNotOptimize(zblk_FileToObject(b.Info(), 0, 1, kPoints, b.Left(0), b.Right(0), ground.data(), 1));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_FileToObjectBatch);

}  // namespace

BENCHMARK_MAIN();
