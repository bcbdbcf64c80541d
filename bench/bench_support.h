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
// per benchmark (the median of its repetitions' CPU times, with their spread)
// with its targets checked, then every comparison with its ratio (the median of
// the ratios of repetition k of the measure to repetition k of the baseline,
// with their spread) and target, then, for every benchmark measured at both
// 100,000 and 1,000,000 points, how its cost grew (the tool's measures at most
// 12 times for ten times the points; a baseline's growth is only shown). A
// target is "ok" when every repetition meets it, "MISSED" when none does, and
// "within noise" when the spread crosses it. --zot_table_header prints the
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

// The middle of values (the mean of the middle two for an even count).
inline double Median(std::vector<double> values) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// How repetitions stand against a target: "ok" when every one meets it,
// "MISSED" when none does, "within noise" when the spread crosses it (with the
// median's side). Only "MISSED" fails a run.
inline std::string Verdict(double best, double median, double worst, bool atMost, double target) {
    const auto meets = [&](double value) { return atMost ? value <= target : value >= target; };
    if (meets(worst)) return "ok";
    if (!meets(best)) return "MISSED";
    return meets(median) ? "within noise (median ok)" : "within noise (median over)";
}

class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(bool header) : header_(header) {}

    static void PrintHeader() {
        std::printf("%-50s %9s %10s %21s %10s %9s  %-24s %s\n", "Measure", "Points", "Median", "Spread (min-max)",
                    "Per point", "Peak B/pt", "Target", "Result");
        std::printf("%s\n", std::string(150, '-').c_str());
    }

    bool ReportContext(const Context &) override {
        if (header_) PrintHeader();
        return true;
    }

    // All repetitions of a benchmark arrive together, once the last has run.
    void ReportRuns(const std::vector<Run> &runs) override {
        std::vector<const Run *> repetitions;
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
            repetitions.push_back(&run);
        }
        if (!repetitions.empty()) Row(repetitions);
    }

    // Rows come in the random order of the runs; they are printed sorted by
    // measure and points once all have run.
    void Finalize() override {
        for (const auto &row : rows_) std::fputs(row.second.c_str(), stdout);
        PrintComparisons();
        PrintGrowth();
        std::fflush(stdout);
    }

    bool Failed() const { return failed_; }

private:
    using Seconds = std::vector<double>;  // one per repetition, in repetition order

    // A baseline: named as one in a comparison, or by its label.
    static bool IsBaseline(const std::string &measure) {
        for (const Comparison &c : Comparisons()) {
            if (c.baseline == measure) return true;
        }
        return measure.compare(0, 4, "Bare") == 0 || measure.find("baseline") != std::string::npos;
    }

    void PrintComparisons() {
        bool header = false;
        for (const Comparison &c : Comparisons()) {
            const auto measure = costs_.find(c.measure);
            const auto baseline = costs_.find(c.baseline);
            if (measure == costs_.end() || baseline == costs_.end()) continue;
            for (const auto &size : measure->second) {
                const auto base = baseline->second.find(size.first);
                if (base == baseline->second.end()) continue;
                // Repetition k of the measure against repetition k of the baseline.
                Seconds ratios;
                std::string measured, based;
                if (c.relation == Relation::MemoryAtMost) {
                    const double a = peaks_[c.measure][size.first], b = peaks_[c.baseline][size.first];
                    if (!(a > 0) || !(b > 0)) continue;
                    ratios.push_back(a / b);
                    measured = Format("%.0f B/pt", a);
                    based = Format("%.0f B/pt", b);
                } else {
                    for (size_t k = 0; k < std::min(size.second.size(), base->second.size()); ++k) {
                        ratios.push_back(c.relation == Relation::TimeAtMost ? size.second[k] / base->second[k]
                                                                            : base->second[k] / size.second[k]);
                    }
                    measured = Cost(Median(size.second), size.first);
                    based = Cost(Median(base->second), size.first);
                }
                const double low = *std::min_element(ratios.begin(), ratios.end());
                const double high = *std::max_element(ratios.begin(), ratios.end());
                const double median = Median(ratios);
                const bool limited = c.target > 0 && (c.points.empty() || std::find(c.points.begin(), c.points.end(),
                                                                                     size.first) != c.points.end());
                std::string target, result;
                if (limited) {
                    const bool atMost = c.relation != Relation::SpeedAtLeast;
                    target = (atMost ? "<= " : ">= ") + Format("%.2fx", c.target);
                    result = atMost ? Verdict(low, median, high, true, c.target)
                                    : Verdict(high, median, low, false, c.target);
                    if (result == "MISSED") failed_ = true;
                }
                if (!header) {
                    std::printf("\n%-72s %9s %10s %10s %8s %15s  %-9s %s\n", "Measure / baseline", "Points",
                                "Measure", "Baseline", "Ratio", "Spread", "Target", "Result");
                    std::printf("%s\n", std::string(160, '-').c_str());
                    header = true;
                }
                const std::string what = c.measure + (c.relation == Relation::MemoryAtMost ? ", memory" : "") +
                                         (c.relation == Relation::SpeedAtLeast ? ", speed" : "") + " / " +
                                         c.baseline;
                std::printf("%-72s %9s %10s %10s %8s %15s  %-9s %s\n", what.c_str(),
                            size.first > 1 ? Format("%.0f", static_cast<double>(size.first)).c_str() : "",
                            measured.c_str(), based.c_str(), Format("%.3fx", median).c_str(),
                            ratios.size() > 1 ? (Format("%.3f-", low) + Format("%.3f", high)).c_str() : "",
                            target.c_str(), result.c_str());
            }
        }
        if (header) std::printf("\n");
    }

    // How each cost grew from 100,000 to 1,000,000 points: judged for the
    // tool's measures, shown for the baselines.
    void PrintGrowth() {
        for (const auto &family : costs_) {
            auto small = family.second.find(100000);
            auto large = family.second.find(1000000);
            if (small == family.second.end() || large == family.second.end()) continue;
            const double median = Median(large->second) / Median(small->second);
            const double low = *std::min_element(large->second.begin(), large->second.end()) /
                               *std::max_element(small->second.begin(), small->second.end());
            const double high = *std::max_element(large->second.begin(), large->second.end()) /
                                *std::min_element(small->second.begin(), small->second.end());
            const bool judged = !IsBaseline(family.first);
            const std::string result = judged ? Verdict(low, median, high, true, kMaxGrowth) : "shown, not judged";
            if (result == "MISSED") failed_ = true;
            std::printf("%-50s %9s %10s %21s %10s %9s  %-24s %s\n",
                        (family.first + ": 1,000,000 / 100,000").c_str(), "", Format("x %.2f", median).c_str(),
                        (Format("x %.2f-", low) + Format("%.2f", high)).c_str(), "", "",
                        judged ? Format("<= x %.0f", kMaxGrowth).c_str() : "", result.c_str());
        }
    }

    // A time for points (a rate for a single point).
    static std::string Cost(double seconds, long points) {
        return points == 1 ? Rate(1.0 / seconds) : Duration(seconds);
    }

    static double SecondsOf(const Run &run) {
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

    void Row(const std::vector<const Run *> &repetitions) {
        Seconds seconds;
        for (const Run *run : repetitions) seconds.push_back(SecondsOf(*run));
        const double median = Median(seconds);
        const double low = *std::min_element(seconds.begin(), seconds.end());
        const double high = *std::max_element(seconds.begin(), seconds.end());
        // The label of the repetition nearest the median (latency labels carry their percentiles).
        const Run &run = **std::min_element(repetitions.begin(), repetitions.end(), [&](const Run *a, const Run *b) {
            return std::fabs(SecondsOf(*a) - median) < std::fabs(SecondsOf(*b) - median);
        });
        const double points = Counter(run, "points");
        const double peak = Counter(run, "peak_bytes");
        const std::string pointsText = std::isnan(points) ? "" : Format("%.0f", points);
        std::string perPoint;
        if (!std::isnan(points) && points > 1) perPoint = Duration(median / points);
        if (points == 1) perPoint = Rate(1.0 / median);
        const std::string peakText = std::isnan(peak) ? "" : peak < 0 ? "n/a" : Format("%.0f", peak);

        std::vector<std::string> targets, results;
        const double maxSeconds = Counter(run, "target_max_s");
        if (!std::isnan(maxSeconds)) {
            targets.push_back("<= " + Duration(maxSeconds));
            results.push_back(Verdict(low, median, high, true, maxSeconds));
        }
        const double minRate = Counter(run, "target_min_rate");
        if (!std::isnan(minRate)) {
            targets.push_back(">= " + Rate(minRate));
            results.push_back(Verdict(points / low, points / median, points / high, false, minRate));
        }
        const double maxBytes = Counter(run, "target_max_bytes");
        if (!std::isnan(maxBytes)) {
            targets.push_back(Format("<= %.0f B/pt", maxBytes));
            results.push_back(!std::isnan(peak) && peak >= 0 && peak <= maxBytes ? "ok" : "MISSED");
        }
        std::string target, result;
        for (const std::string &t : targets) target += (target.empty() ? "" : ", ") + t;
        // The worst of the targets' results.
        for (const std::string &r : results) {
            if (result.empty() || r == "MISSED" || (result == "ok" && r != "ok")) result = r;
        }
        if (result == "MISSED") failed_ = true;
        const std::string spread = seconds.size() > 1 ? Duration(low) + " - " + Duration(high) : "";
        char line[512];
        std::snprintf(line, sizeof line, "%-50s %9s %10s %21s %10s %9s  %-24s %s\n", Measure(run).c_str(),
                      pointsText.c_str(), Duration(median).c_str(), spread.c_str(), perPoint.c_str(),
                      peakText.c_str(), target.c_str(), result.c_str());
        const long key = std::isnan(points) ? 0 : static_cast<long>(points);
        rows_[{Measure(run), key}] = line;
        if (!std::isnan(points)) {
            costs_[Measure(run)][key] = seconds;
            if (!std::isnan(peak)) peaks_[Measure(run)][key] = peak;
        }
    }

    bool header_;
    bool failed_ = false;
    // CPU seconds of every repetition by measure, then by points.
    std::map<std::string, std::map<long, Seconds>> costs_;
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
// failed or, in table form, missed a target with every repetition.
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
