// What the benchmark programs share: counters that state a benchmark's points
// and targets, comparisons of a measure with its bare baseline, a check that a
// baseline gives what the tool gives, a peak-memory probe, and the table that
// scripts/bench prints.
//
// A benchmark states how many points one iteration handles (SetPoints) and
// the targets it is held to (MaxSeconds, MinPointsPerSecond, MaxBytesPerPoint).
// A program holds a measure against a baseline measured in the same process
// (Compare): its CPU time, speed or peak memory per point as a ratio to the
// baseline's at the same number of points. Run plainly, a program prints
// Google Benchmark's own report; run with --zot_table it prints one table row
// per benchmark (the best of its repetitions, by CPU time) with its targets
// checked, then every comparison with its ratio and target, then, for every
// benchmark measured at both 100,000 and 1,000,000 points, how its cost grew
// (at most 12 times for ten times the points). --zot_table_header prints the
// header first.
#ifndef ZB_BENCH_SUPPORT_H
#define ZB_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace zb {

// Growth allowed from 100,000 to 1,000,000 points: linear, with some room for
// caches that larger sets outgrow.
constexpr double kMaxGrowth = 12.0;

inline void SetPoints(benchmark::State &state, double points) { state.counters["points"] = points; }
// CPU seconds one iteration may take.
inline void MaxSeconds(benchmark::State &state, double seconds) { state.counters["target_max_s"] = seconds; }
inline void MinPointsPerSecond(benchmark::State &state, double rate) { state.counters["target_min_rate"] = rate; }
// Peak memory growth per point (see PeakBytes).
inline void MaxBytesPerPoint(benchmark::State &state, double bytes) {
    state.counters["target_max_bytes"] = bytes;
}
inline void SetPeakBytesPerPoint(benchmark::State &state, double bytes) { state.counters["peak_bytes"] = bytes; }

// How a measure is held against its baseline; ratios are taken at equal points.
enum class Relation {
    TimeAtMost,    // measure CPU time / baseline CPU time, at most the target
    SpeedAtLeast,  // baseline CPU time / measure CPU time (the measure's speed), at least the target
    MemoryAtMost,  // measure peak bytes per point / baseline's, at most the target
};

// A measure and its baseline by their labels. A target of 0 only shows the
// ratio; points, when not empty, limits the target to those sizes.
struct Comparison {
    std::string measure;
    std::string baseline;
    Relation relation;
    double target;
    std::vector<long> points;
};

inline std::vector<Comparison> &Comparisons() {
    static std::vector<Comparison> comparisons;
    return comparisons;
}

// Registers comparisons; returns true, so that a program can register them in
// a namespace-scope initializer.
inline bool Compare(std::initializer_list<Comparison> comparisons) {
    for (const Comparison &c : comparisons) Comparisons().push_back(c);
    return true;
}

// Runs check once per process under key (the same check is shared by every
// size and repetition of a baseline) and skips the benchmark with its problem
// when it returns one. A baseline that does not give what the tool gives
// measures nothing worth comparing, so the whole run then fails.
inline bool CheckOnce(benchmark::State &state, const std::string &key, const std::function<std::string()> &check) {
    static std::map<std::string, std::string> problems;
    auto found = problems.find(key);
    if (found == problems.end()) found = problems.emplace(key, check()).first;
    if (found->second.empty()) return true;
    std::fprintf(stderr, "%s: the baseline differs from the tool: %s\n", key.c_str(), found->second.c_str());
    state.SkipWithError(("the baseline differs from the tool: " + found->second).c_str());
    return false;
}

// Whether two values agree within relative (of the larger magnitude); equal
// infinities and two NaNs agree.
inline bool Agree(double a, double b, double relative) {
    if (a == b || (std::isnan(a) && std::isnan(b))) return true;
    return std::fabs(a - b) <= relative * std::fmax(std::fabs(a), std::fabs(b));
}

// A value of /proc/self/status in bytes ("VmHWM", "VmRSS"), or -1.
inline double ProcStatusBytes(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::atof(line.c_str() + length + 1) * 1024.0;  // in kB
        }
    }
    return -1.0;
}

// How far the resident memory's high-water mark rises while work runs, in
// bytes; -1 when the kernel cannot reset the mark. Free heap memory is handed
// back first, so that the work's allocations must fault in pages of their own.
inline double PeakBytes(const std::function<void()> &work) {
    malloc_trim(0);
    {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";  // resets VmHWM to the current resident size
        if (!clear.flush()) return -1.0;
    }
    const double before = ProcStatusBytes("VmHWM");
    work();
    const double peak = ProcStatusBytes("VmHWM");
    return before < 0 || peak < 0 ? -1.0 : peak - before;
}

// Runs this program again with args and reads the number it prints; -1 when
// it fails. Memory is measured in a fresh process, since what a process has
// freed before (and how its heap is cut up) changes what new work adds to
// its resident size.
inline double NumberFromFreshProcess(const std::vector<std::string> &args) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return -1.0;
    self[length] = '\0';
    std::string command = std::string("'") + self + "'";
    for (const std::string &arg : args) command += " '" + arg + "'";
    FILE *child = popen(command.c_str(), "r");
    if (!child) return -1.0;
    double value = -1.0;
    if (std::fscanf(child, "%lf", &value) != 1) value = -1.0;
    return pclose(child) == 0 ? value : -1.0;
}

inline std::string Format(const char *format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A duration in seconds with a unit that keeps three or four digits.
inline std::string Duration(double seconds) {
    if (seconds >= 1.0) return Format("%.2f s", seconds);
    if (seconds >= 1e-3) return Format("%.2f ms", seconds * 1e3);
    if (seconds >= 1e-6) return Format("%.2f us", seconds * 1e6);
    return Format("%.1f ns", seconds * 1e9);
}

inline std::string Rate(double perSecond) {
    if (perSecond >= 1e6) return Format("%.2f M/s", perSecond / 1e6);
    if (perSecond >= 1e3) return Format("%.1f k/s", perSecond / 1e3);
    return Format("%.0f /s", perSecond);
}

class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(bool header) : header_(header) {}

    static void PrintHeader() {
        std::printf("%-50s %9s %10s %10s %11s  %-26s %s\n", "Measure", "Points", "CPU time", "Per point",
                    "Peak B/pt", "Target", "Result");
        std::printf("%s\n", std::string(132, '-').c_str());
    }

    bool ReportContext(const Context &) override {
        if (header_) PrintHeader();
        return true;
    }

    void ReportRuns(const std::vector<Run> &runs) override {
        const Run *best = nullptr;
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.error_occurred) {
                char line[512];
                std::snprintf(line, sizeof line, "%-50s %s\n", Measure(run).c_str(),
                              ("FAILED: " + run.error_message).c_str());
                rows_[{Measure(run), -1}] = line;
                failed_ = true;
                return;
            }
            if (!best || Seconds(run) < Seconds(*best)) best = &run;
        }
        if (best) Row(*best);
    }

    // Rows come in the random order of the runs; they are printed sorted by
    // measure and points once all have run.
    void Finalize() override {
        for (const auto &row : rows_) std::fputs(row.second.c_str(), stdout);
        PrintComparisons();
        for (const auto &family : costs_) {
            auto small = family.second.find(100000);
            auto large = family.second.find(1000000);
            if (small == family.second.end() || large == family.second.end()) continue;
            const double growth = large->second / small->second;
            std::fputs(Line(family.first + ": 1,000,000 / 100,000", "", Format("x %.2f", growth), "", "",
                            Format("<= x %.0f", kMaxGrowth), growth <= kMaxGrowth)
                           .c_str(),
                       stdout);
        }
        std::fflush(stdout);
    }

    bool Failed() const { return failed_; }

private:
    void PrintComparisons() {
        bool header = false;
        for (const Comparison &c : Comparisons()) {
            const auto measure = costs_.find(c.measure);
            const auto baseline = costs_.find(c.baseline);
            if (measure == costs_.end() || baseline == costs_.end()) continue;
            for (const auto &size : measure->second) {
                const auto base = baseline->second.find(size.first);
                if (base == baseline->second.end()) continue;
                double ratio = 0.0;
                std::string measured, based, unit = "x";
                if (c.relation == Relation::MemoryAtMost) {
                    const double a = peaks_[c.measure][size.first], b = peaks_[c.baseline][size.first];
                    if (!(a > 0) || !(b > 0)) continue;
                    ratio = a / b;
                    measured = Format("%.0f B/pt", a);
                    based = Format("%.0f B/pt", b);
                } else {
                    ratio = c.relation == Relation::TimeAtMost ? size.second / base->second
                                                               : base->second / size.second;
                    measured = Cost(size.second, size.first);
                    based = Cost(base->second, size.first);
                }
                const bool limited = c.target > 0 && (c.points.empty() || std::find(c.points.begin(), c.points.end(),
                                                                                     size.first) != c.points.end());
                std::string target;
                bool ok = true;
                if (limited) {
                    const bool atMost = c.relation != Relation::SpeedAtLeast;
                    target = (atMost ? "<= " : ">= ") + Format("%.2fx", c.target);
                    ok = atMost ? ratio <= c.target : ratio >= c.target;
                }
                if (!header) {
                    std::printf("\n%-72s %9s %10s %10s %8s  %-9s %s\n", "Measure / baseline", "Points", "Measure",
                                "Baseline", "Ratio", "Target", "Result");
                    std::printf("%s\n", std::string(132, '-').c_str());
                    header = true;
                }
                const std::string what = c.measure + (c.relation == Relation::MemoryAtMost ? ", memory" : "") +
                                         (c.relation == Relation::SpeedAtLeast ? ", speed" : "") + " / " +
                                         c.baseline;
                std::printf("%-72s %9s %10s %10s %8s  %-9s %s\n", what.c_str(),
                            size.first > 1 ? Format("%.0f", static_cast<double>(size.first)).c_str() : "",
                            measured.c_str(), based.c_str(), Format("%.3fx", ratio).c_str(), target.c_str(),
                            target.empty() ? "" : ok ? "ok" : "MISSED");
                if (!ok) failed_ = true;
            }
        }
        if (header) std::printf("\n");
    }

    // A time for points (a rate for a single point).
    static std::string Cost(double seconds, long points) {
        return points == 1 ? Rate(1.0 / seconds) : Duration(seconds);
    }

    static double Seconds(const Run &run) {
        return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    static double Counter(const Run &run, const char *name) {
        auto found = run.counters.find(name);
        return found == run.counters.end() ? NAN : found->second.value;
    }

    // The label (or the function's name) without the size argument.
    static std::string Measure(const Run &run) {
        return run.report_label.empty() ? run.run_name.function_name : run.report_label;
    }

    // One table line; a missed target fails the run.
    std::string Line(const std::string &measure, const std::string &points, const std::string &time,
                     const std::string &perPoint, const std::string &bytes, const std::string &target, bool ok) {
        char line[512];
        std::snprintf(line, sizeof line, "%-50s %9s %10s %10s %11s  %-26s %s\n", measure.c_str(), points.c_str(),
                      time.c_str(), perPoint.c_str(), bytes.c_str(), target.c_str(),
                      target.empty() ? "" : ok ? "ok" : "MISSED");
        if (!ok) failed_ = true;
        return line;
    }

    void Row(const Run &run) {
        const double seconds = Seconds(run);
        const double points = Counter(run, "points");
        const double peak = Counter(run, "peak_bytes");
        const std::string pointsText = std::isnan(points) ? "" : Format("%.0f", points);
        std::string perPoint;
        if (!std::isnan(points) && points > 1) perPoint = Duration(seconds / points);
        if (points == 1) perPoint = Rate(1.0 / seconds);
        const std::string peakText = std::isnan(peak) ? "" : peak < 0 ? "n/a" : Format("%.0f", peak);

        std::vector<std::string> targets;
        bool ok = true;
        const double maxSeconds = Counter(run, "target_max_s");
        if (!std::isnan(maxSeconds)) {
            targets.push_back("<= " + Duration(maxSeconds));
            ok = ok && seconds <= maxSeconds;
        }
        const double minRate = Counter(run, "target_min_rate");
        if (!std::isnan(minRate)) {
            targets.push_back(">= " + Rate(minRate));
            ok = ok && points / seconds >= minRate;
        }
        const double maxBytes = Counter(run, "target_max_bytes");
        if (!std::isnan(maxBytes)) {
            targets.push_back(Format("<= %.0f B/pt", maxBytes));
            ok = ok && !std::isnan(peak) && peak >= 0 && peak <= maxBytes;
        }
        std::string target;
        for (const std::string &t : targets) target += (target.empty() ? "" : ", ") + t;
        rows_[{Measure(run), std::isnan(points) ? 0 : static_cast<long>(points)}] =
            Line(Measure(run), pointsText, Duration(seconds), perPoint, peakText, target, ok);
        if (!std::isnan(points)) {
            costs_[Measure(run)][static_cast<long>(points)] = seconds;
            if (!std::isnan(peak)) peaks_[Measure(run)][static_cast<long>(points)] = peak;
        }
    }

    bool header_;
    bool failed_ = false;
    // CPU seconds by measure, then by points.
    std::map<std::string, std::map<long, double>> costs_;
    // Peak bytes per point by measure, then by points.
    std::map<std::string, std::map<long, double>> peaks_;
    // The table's lines by measure and points (-1 for a failure).
    std::map<std::pair<std::string, long>, std::string> rows_;
};

// What a program must release before the process ends (tools kept across
// benchmarks: they need the toolkit that static destruction takes down).
inline std::vector<std::function<void()>> &AtEnd() {
    static std::vector<std::function<void()>> work;
    return work;
}

inline void RunAtEnd() {
    for (auto &work : AtEnd()) work();
    AtEnd().clear();
}

// The programs' main: see the top of this file. Exits 1 when a benchmark
// failed or, in table form, missed a target.
inline int Main(int argc, char **argv) {
    bool table = false;
    bool header = false;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--zot_table") == 0) {
            table = true;
        } else if (std::strcmp(argv[i], "--zot_table_header") == 0) {
            table = header = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    if (!table) {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        RunAtEnd();
        return 0;
    }
    TableReporter reporter(header);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    RunAtEnd();
    return reporter.Failed() ? 1 : 0;
}

}  // namespace zb

#define ZB_MAIN() \
    int main(int argc, char **argv) { return zb::Main(argc, argv); }

#endif
