// A correlation proposal on the sample stereo pair at the default sizes (a
// 21 x 21 window, the model's height scale either side of the reference
// elevation): the pick's window and the other image's strip along the
// epipolar curve read through GDAL, every window along the curve correlated,
// the peak refined and intersected. Target: one proposal within 50 ms.
//
// Baseline: the same windows, read beforehand, correlated with a plain loop
// (means, then the sums of products) — checked to give the proposal's
// correlation at every window to 1e-9.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "toolkit/geo/stereo_aids.h"

namespace {

const char kProposal[] = "Correlation proposal, 21 x 21, +-500 m";
const char kBare[] = "Same windows, plain-loop correlation";

// The sample pair, written once, the aids on it and one pick: the left
// target of the first point (from the truth file) and its T&E elevation.
struct Pair {
    Pair() {
        std::string output;
        if (zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + dir.Path() + "' >/dev/null", &output) != 0) {
            problem = "zot-sample-data failed: " + output;
            return;
        }
        aids = zhg::StereoAids::Open(dir.File("stereo_left.tif"), dir.File("stereo_right.tif"), &problem);
        const std::string truth = zt::ReadText(dir.File("truth/points.csv"));
        const size_t at = truth.find("\nstereo,S01,");
        std::vector<std::string> f;
        std::string field;
        for (size_t i = at + 1; i < truth.size() && truth[i] != '\n'; ++i) {
            if (truth[i] == ',') {
                f.push_back(field);
                field.clear();
            } else {
                field += truth[i];
            }
        }
        f.push_back(field);
        if (at == std::string::npos || f.size() < 15) {
            problem = "no S01 in the truth file";
            return;
        }
        x = std::stod(f[13]);
        y = std::stod(f[14]);
        height = std::stod(f[7]);
    }
    zt::TempDir dir;
    std::unique_ptr<zhg::StereoAids> aids;
    double x = 0, y = 0, height = 0;
    std::string problem;
};

Pair &ThePair() {
    static Pair pair;
    return pair;
}

const bool kCompared = zb::Compare({{kProposal, kBare, zb::Relation::TimeAtMost, 0.0, {}}});

void BM_Proposal(benchmark::State &state) {
    state.SetLabel(kProposal);
    Pair &pair = ThePair();
    if (!pair.problem.empty() || !pair.aids) {
        state.SkipWithError(pair.problem.c_str());
        return;
    }
    for (auto _ : state) {
        const zhg::Proposal p = pair.aids->Match(0, pair.x, pair.y, pair.height);
        if (!p.ok) {
            state.SkipWithError(p.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(p.x);
    }
    zb::SetPoints(state, 1);
    zb::MaxSeconds(state, 0.05);
}

void BM_BareCorrelation(benchmark::State &state) {
    state.SetLabel(kBare);
    Pair &pair = ThePair();
    if (!pair.problem.empty() || !pair.aids) {
        state.SkipWithError(pair.problem.c_str());
        return;
    }
    const int window = zhg::MatchOptions().window;
    const zhg::Proposal p = pair.aids->Match(0, pair.x, pair.y, pair.height);
    std::vector<double> pick;
    std::vector<std::vector<double>> windows(p.cells.size());
    bool read = p.ok && pair.aids->ReadWindow(0, static_cast<int>(std::floor(pair.x)),
                                              static_cast<int>(std::floor(pair.y)), window, &pick);
    for (size_t k = 0; read && k < p.cells.size(); ++k)
        read = pair.aids->ReadWindow(1, p.cells[k][0], p.cells[k][1], window, &windows[k]);
    if (!read) {
        state.SkipWithError("the windows cannot be read");
        return;
    }
    const size_t n = pick.size();
    const auto correlateAll = [&](std::vector<double> *out) {
        for (size_t k = 0; k < windows.size(); ++k)
            (*out)[k] = zhg::CrossCorrelation(pick.data(), windows[k].data(), n);
    };
    if (!zb::CheckOnce(state, kBare, [&] {
            std::vector<double> bare(windows.size());
            correlateAll(&bare);
            for (size_t k = 0; k < bare.size(); ++k)
                if (std::fabs(bare[k] - p.profile[k]) > 1e-9)
                    return "window " + std::to_string(k) + ": " + std::to_string(bare[k]) + " against " +
                           std::to_string(p.profile[k]);
            return std::string();
        })) {
        return;
    }
    std::vector<double> values(windows.size());
    for (auto _ : state) {
        correlateAll(&values);
        benchmark::DoNotOptimize(values.data());
    }
    zb::SetPoints(state, 1);
}

BENCHMARK(BM_Proposal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCorrelation)->Unit(benchmark::kMillisecond);

}  // namespace

ZB_MAIN()
