// Opening T&E files in a started tool (points, markers and table), starting
// the tool, and the memory an open takes per point.
// Targets, on one core: 100,000 points open in mono within 0.5 s; an open
// grows linearly with the points; at most 1 KiB of memory per point with its
// markers, at the peak of the open.
//
// Baseline: the same file read bare, each line with getline and its fields
// parsed into a vector of T&E point structures, checked to give the values the
// tool's points hold. An open of a mono file takes at most 2.2 times as long as
// the bare parse, and at most 5 times its peak memory per point.
#include <malloc.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <utility>

#include "bench_support.h"
#include "bench_tool.h"

namespace {

const double kMaxBytesPerPoint = 1024.0;
// The child runs that measure memory: --zot_peak KIND COUNT for an open,
// --zot_bare_peak KIND COUNT for the bare parse.
const char kPeakOption[] = "--zot_peak";
const char kBarePeakOption[] = "--zot_bare_peak";

const char kOpenMono[] = "Open T&E file, mono";
const char kBareParse[] = "Bare getline and field parse, mono";

const bool kCompared = zb::Compare({
    {kOpenMono, kBareParse, zb::Relation::TimeAtMost, 2.2, {100000, 1000000}},
    {kOpenMono, kBareParse, zb::Relation::MemoryAtMost, 5.0, {1000000}},
});

// A number field; the whole field must be the number.
double BareNumber(const char *begin, const char *end) {
    double value = 0.0;
    std::from_chars(begin, end, value);
    return value;
}

// A coordinate field: "D M S" as the tool saves it, or a decimal number.
double BareCoordinate(const char *begin, const char *end) {
    const char *space = static_cast<const char *>(std::memchr(begin, ' ', static_cast<size_t>(end - begin)));
    if (!space) return BareNumber(begin, end);
    const bool minus = *begin == '-';
    long degrees = 0, minutes = 0;
    double seconds = 0.0;
    const char *p = std::from_chars(begin + (minus ? 1 : 0), end, degrees).ptr + 1;
    p = std::from_chars(p, end, minutes).ptr + 1;
    std::from_chars(p, end, seconds);
    const double value = static_cast<double>(degrees) + minutes * 0.016666666666666666 + seconds * 0.0002777777777777778;
    return minus ? -value : value;
}

// Reads a geographic T&E file with getline, each line's seven TAB-separated
// fields into a T&E point; false when a line has fewer fields.
bool BareParse(const std::string &file, std::vector<TEPoint> *points) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const char *field[8];
        const char *const end = line.data() + line.size();
        field[0] = line.data();
        for (int i = 1; i < 8; ++i) {
            const char *tab = static_cast<const char *>(std::memchr(field[i - 1], '\t', static_cast<size_t>(end - field[i - 1])));
            if (!tab && i < 7) return false;
            field[i] = tab ? tab + 1 : end + 1;
        }
        TEPoint &p = points->emplace_back();
        p.id.assign(field[0], field[1] - 1);
        p.latitude = BareCoordinate(field[1], field[2] - 1);
        p.longitude = BareCoordinate(field[2], field[3] - 1);
        p.elevation = BareNumber(field[3], field[4] - 1);
        p.circularError90 = BareNumber(field[4], field[5] - 1);
        p.linearError90 = BareNumber(field[5], field[6] - 1);
        p.description.assign(field[6], field[7] - 1);
    }
    return !in.bad();
}

// The problem when the bare parse of a file differs from the points the tool
// holds after opening it.
std::string CheckBareParse(zb::Kind kind, int count) {
    zb::Tool tool(kind);
    if (!tool.Problem().empty()) return tool.Problem();
    const std::string file = zb::PointsFile(kind, count);
    const std::string problem = tool.Open(file, count);
    if (!problem.empty()) return problem;
    std::vector<TEPoint> points;
    if (!BareParse(file, &points) || static_cast<int>(points.size()) != count) return "the bare parse failed";
    for (int i = 0; i < count; ++i) {
        const TEPoint &b = points[static_cast<size_t>(i)];
        const ZOT_Point *t = tool.Session().Point(i);
        if (b.id != t->pointId || b.description != t->teDescription || b.latitude != t->teLatitude ||
            b.longitude != t->teLongitude || b.elevation != t->teElevation || b.circularError90 != t->teCE90 ||
            b.linearError90 != t->teLE90) {
            return "point " + std::to_string(i) + " differs";
        }
    }
    return "";
}

// In a fresh process: how far the resident size peaks while the bare parse
// reads count points, per point (after a parse of ten points, as for an open).
int PrintBarePeakBytesPerPoint(zb::Kind kind, int count) {
    const std::string file = zb::PointsFile(kind, count);
    {
        std::vector<TEPoint> few;
        if (!BareParse(zb::PointsFile(kind, 10), &few)) return 1;
    }
    std::vector<TEPoint> points;
    bool parsed = false;
    const double peak = zb::PeakBytes([&] { parsed = BareParse(file, &points); });
    if (!parsed || peak < 0) return 1;
    std::printf("%.1f\n", peak / count);
    return 0;
}

// The peak memory per point of a child run (option, kind, count), measured
// once per process.
double PeakOnce(const char *option, zb::Kind kind, int count) {
    static std::map<std::string, double> peaks;
    const std::vector<std::string> args = {option, std::to_string(static_cast<int>(kind)), std::to_string(count)};
    const std::string key = args[0] + " " + args[1] + " " + args[2];
    auto peak = peaks.find(key);
    if (peak == peaks.end()) peak = peaks.emplace(key, zb::NumberFromFreshProcess(args)).first;
    return peak->second;
}

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
    zb::SetPoints(state, count);
    zb::SetPeakBytesPerPoint(state, PeakOnce(kPeakOption, kind, count));
    zb::MaxBytesPerPoint(state, kMaxBytesPerPoint);
    if (kind == zb::Kind::Mono && count == 100000) zb::MaxSeconds(state, 0.5);
}

void BM_OpenMono(benchmark::State &state) { Open(state, zb::Kind::Mono, kOpenMono); }
void BM_OpenStereo(benchmark::State &state) { Open(state, zb::Kind::Stereo, "Open T&E file, stereo"); }

void BM_BareParse(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    state.SetLabel(kBareParse);
    if (!zb::CheckOnce(state, kBareParse, [] { return CheckBareParse(zb::Kind::Mono, 10000); })) return;
    const std::string file = zb::PointsFile(zb::Kind::Mono, count);
    std::vector<TEPoint> points;
    for (auto _ : state) {
        // As before an open: the points of the last parse are dropped and
        // their memory handed back.
        state.PauseTiming();
        std::vector<TEPoint>().swap(points);
        malloc_trim(0);
        state.ResumeTiming();
        if (!BareParse(file, &points) || static_cast<int>(points.size()) != count) {
            state.SkipWithError("the bare parse failed");
            return;
        }
    }
    zb::SetPoints(state, count);
    zb::SetPeakBytesPerPoint(state, PeakOnce(kBarePeakOption, zb::Kind::Mono, count));
}

BENCHMARK(BM_OpenMono)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareParse)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
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
    if (argc == 4 && std::strcmp(argv[1], kBarePeakOption) == 0) {
        return PrintBarePeakBytesPerPoint(static_cast<zb::Kind>(std::atoi(argv[2])), std::atoi(argv[3]));
    }
    return zb::Main(argc, argv);
}
