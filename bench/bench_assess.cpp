// The assessment over large sets of checkpoints: the figures alone (what the
// workspace recomputes after every change), the condensed report read back
// and assessed (what `zot-host assess` does before it writes), and the files
// it writes. Targets, on one core: 100,000 points assessed within 1 s, read
// and assessed within 1 s; every cost grows linearly with the points.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "assess.h"
#include "bench_support.h"
#include "condensed_report.h"

namespace {

// count checkpoints on a 1 km grid of a UTM zone: normal residuals of 0.5 m per
// horizontal axis and 0.3 m in height around a small shift, every 1000th point
// a blunder of 20 m. The same points for every run.
zassess::ResidualSet Checkpoints(size_t count) {
    std::mt19937_64 random(17);
    std::normal_distribution<double> horizontal(0.0, 0.5), vertical(0.0, 0.3);
    zassess::ResidualSet set;
    set.title = "ZOT Report for left.tif and right.tif";
    set.vertical = true;
    set.points.resize(count);
    for (size_t i = 0; i < count; ++i) {
        zassess::Residual &p = set.points[i];
        p.id = "CP" + std::to_string(i + 1);
        p.description = "Checkpoint, painted";
        p.refX = 400000.0 + 1000.0 * static_cast<double>(i % 1000);
        p.refY = 5000000.0 + 1000.0 * static_cast<double>(i / 1000);
        p.dE = 0.2 + horizontal(random) + (i % 1000 == 999 ? 20.0 : 0.0);
        p.dN = -0.1 + horizontal(random);
        p.dU = 0.3 + vertical(random);
        p.measX = p.refX + p.dE, p.measY = p.refY + p.dN;
        p.refZ = 500.0, p.measZ = p.refZ + p.dU;
        p.refCE90 = 0.1, p.refLE90 = 0.15;
    }
    return set;
}

// The same points as the tool's condensed report (map form, meters) writes them.
std::string CondensedReport(const zassess::ResidualSet &set) {
    std::string text = set.title + "\r\n\r\nDistance values are in meters\r\n\r\nMean X error: 0.0\r\n"
                       "Mean elevation error (average VE): 0.0\r\n\r\n"
                       "ID,T&E X,T&E Y,T&E Elevation,T&E CE90,T&E LE90,T&E Description,Measured X,Measured Y,"
                       "Measured Elevation,Delta X,Delta Y,Delta Elevation,Mensuration Error,Individual HE,"
                       "Individual VE\n";
    char line[512];
    for (const zassess::Residual &p : set.points) {
        std::snprintf(line, sizeof line, "%s,%f,%f,%f,%f,%f,\"%s\",%f,%f,%f,%f,%f,%f,%f,%f,%f\n", p.id.c_str(), p.refX,
                      p.refY, p.refZ, p.refCE90, p.refLE90, p.description.c_str(), p.measX, p.measY, p.measZ, p.dE,
                      p.dN, p.dU, 0.0, std::hypot(p.dE, p.dN), p.dU);
        text += line;
    }
    return text;
}

// Runs work(points) in each iteration of a benchmark over count points, with
// the target for 100,000 points (none when maxSeconds is 0).
template <typename Work>
void Measure(benchmark::State &state, const char *label, double maxSeconds, Work work) {
    const size_t count = static_cast<size_t>(state.range(0));
    state.SetLabel(label);
    const zassess::ResidualSet set = Checkpoints(count);
    if (!work(set, true)) return;
    for (auto _ : state) {
        if (!work(set, false)) {
            state.SkipWithError("the assessment failed");
            return;
        }
    }
    zb::SetPoints(state, static_cast<double>(count));
    if (count == 100000 && maxSeconds > 0) zb::MaxSeconds(state, maxSeconds);
}

void BM_Assess(benchmark::State &state) {
    Measure(state, "Assess: figures, statements, flags", 1.0, [](const zassess::ResidualSet &set, bool) {
        const zassess::Assessment a = zassess::Assess(set);
        benchmark::DoNotOptimize(a.kept.asprsRmse3D);
        const zassess::Statements s = zassess::MakeStatements(set, a.all);
        benchmark::DoNotOptimize(s.asprsHorizontal.data());
        return true;
    });
}

void BM_ReadAndAssess(benchmark::State &state) {
    std::string text;
    Measure(state, "Assess a condensed report (read + figures)", 1.0, [&](const zassess::ResidualSet &set, bool setUp) {
        if (setUp) {
            text = CondensedReport(set);
            return true;
        }
        zassess::ResidualSet read;
        std::string error;
        if (!zassess::ReadCondensedReport(text, &read, &error)) return false;
        benchmark::DoNotOptimize(zassess::Assess(read).all.ce90Empirical);
        return true;
    });
}

void BM_Display(benchmark::State &state) {
    Measure(state, "Assessment for the workspace (JSON + plots)", 0, [](const zassess::ResidualSet &set, bool) {
        benchmark::DoNotOptimize(zassess::AssessForDisplay(set).plots.scatter.size());
        return true;
    });
}

void BM_Files(benchmark::State &state) {
    zassess::Assessment a;
    Measure(state, "Assessment files: HTML, JSON, CSV", 0, [&](const zassess::ResidualSet &set, bool setUp) {
        if (setUp) {
            a = zassess::Assess(set);
            return true;
        }
        const std::string html = zassess::AssessmentHtml(set, a);
        const std::string json = zassess::AssessmentJson(set, a).dump();
        const std::string csv = zassess::ResidualsCsv(set, a);
        benchmark::DoNotOptimize(html.size() + json.size() + csv.size());
        return true;
    });
}

BENCHMARK(BM_Assess)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndAssess)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Display)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Files)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

ZB_MAIN()
