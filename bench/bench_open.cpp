// Opening T&E files in a started tool (points, markers and table), starting
// the tool, and the memory an open takes per point.
// Targets, on one core: 100,000 points open in mono within 0.5 s; an open
// grows linearly with the points; at most 1 KiB of memory per point with its
// markers, at the peak of the open.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "bench_support.h"
#include "bench_tool.h"

namespace {

const double kMaxBytesPerPoint = 1024.0;
// The child run that measures memory: --zot_peak KIND COUNT.
const char kPeakOption[] = "--zot_peak";

// In a fresh process: starts a tool, opens a few points once (so that what
// the first open sets up for good is not counted), drops them, and prints how
// far the resident size peaks above that while count points open, per point.
int PrintPeakBytesPerPoint(zb::Kind kind, int count) {
    const std::string file = zb::PointsFile(kind, count);
    zb::Tool tool(kind);
    if (!tool.Problem().empty() || !tool.Open(zb::PointsFile(kind, 10), 10).empty()) return 1;
    tool.OpenEmpty();
    std::string problem;
    const double peak = zb::PeakBytes([&] { problem = tool.Open(file, count); });
    if (!problem.empty() || peak < 0) return 1;
    std::printf("%.1f\n", peak / count);
    return 0;
}

void Open(benchmark::State &state, zb::Kind kind, const char *label) {
    const int count = static_cast<int>(state.range(0));
    state.SetLabel(label);
    const std::string file = zb::PointsFile(kind, count);
    zb::Tool tool(kind);
    if (!tool.Problem().empty()) {
        state.SkipWithError(tool.Problem().c_str());
        return;
    }
    for (auto _ : state) {
        // Every open starts as the first one in a process would: the memory of
        // the points dropped is handed back, so that each size pays for its pages.
        state.PauseTiming();
        tool.OpenEmpty();
        malloc_trim(0);
        state.ResumeTiming();
        const std::string problem = tool.Open(file, count);
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            return;
        }
    }
    // Measured once, although Google Benchmark runs this function several times.
    static std::map<std::pair<zb::Kind, int>, double> peaks;
    auto peak = peaks.find({kind, count});
    if (peak == peaks.end()) {
        const std::vector<std::string> args = {kPeakOption, std::to_string(static_cast<int>(kind)),
                                               std::to_string(count)};
        peak = peaks.emplace(std::make_pair(kind, count), zb::NumberFromFreshProcess(args)).first;
    }
    zb::SetPoints(state, count);
    zb::SetPeakBytesPerPoint(state, peak->second);
    zb::MaxBytesPerPoint(state, kMaxBytesPerPoint);
    if (kind == zb::Kind::Mono && count == 100000) zb::MaxSeconds(state, 0.5);
}

void BM_OpenMono(benchmark::State &state) { Open(state, zb::Kind::Mono, "Open T&E file, mono"); }
void BM_OpenStereo(benchmark::State &state) { Open(state, zb::Kind::Stereo, "Open T&E file, stereo"); }

BENCHMARK(BM_OpenMono)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStereo)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ZOT_SelectImages and ZOT_Start on images already written: the frames, the
// viewers with their layers, georeferencing (and the stereo block).
void Start(benchmark::State &state, zb::Kind kind, const char *label) {
    state.SetLabel(label);
    const std::vector<std::string> images = zb::SceneOf(kind).images;
    std::optional<zt::ToolSession> session;
    for (auto _ : state) {
        state.PauseTiming();
        session.reset();  // closes the tool started last
        session.emplace();
        state.ResumeTiming();
        Zerr_Report *err = nullptr;
        if (!session->Start(images, &err)) {
            state.SkipWithError(("start-up failed: " + zt::TakeReport(&err)).c_str());
            return;
        }
    }
}

void BM_StartMono(benchmark::State &state) { Start(state, zb::Kind::Mono, "Start-up, mono"); }
void BM_StartStereo(benchmark::State &state) { Start(state, zb::Kind::Stereo, "Start-up, stereo"); }

BENCHMARK(BM_StartMono)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartStereo)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], kPeakOption) == 0) {
        return PrintPeakBytesPerPoint(static_cast<zb::Kind>(std::atoi(argv[2])), std::atoi(argv[3]));
    }
    return zb::Main(argc, argv);
}
