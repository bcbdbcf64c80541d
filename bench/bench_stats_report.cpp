// The accuracy statistics and the accuracy report over large sets of measured
// points, in a started mono tool (labels and the table refreshed as in use).
// Targets, on one core: CalculateValues over 100,000 counted points in at most
// 10 ms; the condensed report of 100,000 measured points in at most 0.5 s, the
// formatted one in at most 1.5 s; each grows linearly with the points.
#include "bench_support.h"
#include "bench_tool.h"
#include "geometry/geometry.h"
#include "report/report.h"

namespace {

// A started tool with count measured points, every one of them counted.
struct MeasuredTool {
    MeasuredTool(zb::Kind kind, int count) : tool(kind) {
        if (problem.empty()) problem = tool.Problem();
        if (problem.empty()) problem = tool.Open(zb::PointsFile(kind, count), count);
        if (problem.empty()) tool.MeasureAll(kind != zb::Kind::MonoMapUnits);
    }
    zb::Tool tool;
    std::string problem;
};

void Calculate(benchmark::State &state, zb::Kind kind, const char *label) {
    const int count = static_cast<int>(state.range(0));
    state.SetLabel(label);
    MeasuredTool measured(kind, count);
    if (!measured.problem.empty()) {
        state.SkipWithError(measured.problem.c_str());
        return;
    }
    ZOT_Data *record = measured.tool.Record();
    for (auto _ : state) {
        Zerr_Report *err = nullptr;
        CalculateValues(&err, record);
        if (err != nullptr) {
            state.SkipWithError(("CalculateValues failed: " + zt::TakeReport(&err)).c_str());
            return;
        }
    }
    benchmark::DoNotOptimize(record->ce90WithMensuration);
    zb::SetPoints(state, count);
    if (count == 100000) zb::MaxSeconds(state, 0.010);
}

void BM_CalculateValuesDegrees(benchmark::State &state) {
    Calculate(state, zb::Kind::Mono, "CalculateValues, degrees");
}
void BM_CalculateValuesMapUnits(benchmark::State &state) {
    Calculate(state, zb::Kind::MonoMapUnits, "CalculateValues, map units");
}

BENCHMARK(BM_CalculateValuesDegrees)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateValuesMapUnits)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void Report(benchmark::State &state, bool condensed, const char *label) {
    const int count = static_cast<int>(state.range(0));
    state.SetLabel(label);
    MeasuredTool measured(zb::Kind::Mono, count);
    if (!measured.problem.empty()) {
        state.SkipWithError(measured.problem.c_str());
        return;
    }
    ZOT_Data *record = measured.tool.Record();
    record->condensedFormat = condensed ? 1 : 0;
    const std::string path = zb::Folder().File("report.txt");
    for (auto _ : state) {
        Zerr_Report *err = nullptr;
        CreateReport(path.c_str(), record, &err);
        if (err != nullptr) {
            state.SkipWithError(("CreateReport failed: " + zt::TakeReport(&err)).c_str());
            return;
        }
    }
    zb::SetPoints(state, count);
    if (count == 100000) zb::MaxSeconds(state, condensed ? 0.5 : 1.5);
}

void BM_CondensedReport(benchmark::State &state) { Report(state, true, "Report, condensed"); }
void BM_FormattedReport(benchmark::State &state) { Report(state, false, "Report, formatted"); }

BENCHMARK(BM_CondensedReport)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormattedReport)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

ZB_MAIN()
