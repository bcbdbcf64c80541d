// The accuracy statistics and the accuracy report over large sets of measured
// points, in a started mono tool (labels and the table refreshed as in use).
// Targets, on one core: CalculateValues over 100,000 counted points in at most
// 10 ms; the condensed report of 100,000 measured points in at most 0.5 s, the
// formatted one in at most 1.5 s; each grows linearly with the points.
//
// Baselines, on the same points: the statistics in one bare loop over the
// point records (the same arithmetic, the ellipsoid read once and the
// parallel's radius in the toolkit's closed form), held to at
// most twice its time in degrees; and each report written by one fprintf a
// point giving the same bytes, held to at most 1.1 times its time. Each
// baseline is checked once to give the tool's values (to 1e-12) or bytes.
#include <GeographicLib/Ellipsoid.hpp>
#include <GeographicLib/Math.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "app/measured_points.h"
#include "bench_support.h"
#include "bench_tool.h"
#include "geometry/geometry.h"
#include "report/report.h"
#include "toolkit/geo/geo_internal.h"
#include "zfio.h"

namespace {

const char kCalculateDegrees[] = "CalculateValues, degrees";
const char kBareStatistics[] = "Bare statistics loop, degrees";
const char kCondensed[] = "Report, condensed";
const char kFormatted[] = "Report, formatted";
const char kBareCondensed[] = "Bare fprintf report, condensed";
const char kBareFormatted[] = "Bare fprintf report, formatted";

const bool kCompared = zb::Compare({
    {kCalculateDegrees, kBareStatistics, zb::Relation::TimeAtMost, 2.0, {100000}},
    {kFormatted, kBareFormatted, zb::Relation::TimeAtMost, 1.1, {100000}},
    {kCondensed, kBareCondensed, zb::Relation::TimeAtMost, 1.1, {100000}},
});

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

// The measured tool of a kind and size, kept for the measures and baselines
// that follow. One tool at a time: tools share the UI runtime.
MeasuredTool &Measured(zb::Kind kind, int count) {
    static std::unique_ptr<MeasuredTool> tool;
    static std::pair<zb::Kind, int> made;
    if (!tool) zb::AtEnd().push_back([] { tool.reset(); });
    if (!tool || made != std::make_pair(kind, count)) {
        tool.reset();
        tool = std::make_unique<MeasuredTool>(kind, count);
        made = {kind, count};
    }
    return *tool;
}

// The measured tool of a benchmark of state.range(0) points on a kind of
// image, labelled; null (the benchmark skipped) when it could not be made.
MeasuredTool *Prepare(benchmark::State &state, zb::Kind kind, const char *label) {
    state.SetLabel(label);
    MeasuredTool &measured = Measured(kind, static_cast<int>(state.range(0)));
    if (measured.problem.empty()) return &measured;
    state.SkipWithError(measured.problem.c_str());
    return nullptr;
}

// The tool's points as one array (the point list keeps them in one block);
// null when they are not.
ZOT_Point *PointArray(zb::Tool &tool) {
    const int32_t count = tool.Session().PointCount();
    ZOT_Point *first = tool.Session().Point(0);
    return count > 0 && tool.Session().Point(count - 1) == first + (count - 1) ? first : nullptr;
}

// The statistics CalculateValues stores in the record.
struct Statistics {
    double meanLat, meanLon, meanHE, meanVE, stdLat, stdLon, stdHE, stdVE, ce90, ce90m, le90, le90m;
};

Statistics StatisticsOf(const ZOT_Data *d) {
    return {d->meanLatError,   d->meanLonError,   d->meanHE, d->meanVE,
            d->stdDevLatError, d->stdDevLonError, d->stdDevHE, d->stdDevVE,
            d->ce90,           d->ce90WithMensuration, d->le90, d->le90WithMensuration};
}

double NinetyPercent(double mean, double deviation) {
    const double magnitude = std::fabs(mean);
    if (!(deviation > 0.0)) return magnitude;
    const double r = magnitude / deviation;
    const double factor = r > 1.4 ? 1.2815 : 1.6435 - 0.999556 * r + 0.923237 * r * r - 0.282533 * r * r * r;
    return magnitude + factor * deviation;
}

double Deviation(double meanOfSquares, double mean) {
    const double variance = meanOfSquares - mean * mean;
    return variance > 0.0 ? std::sqrt(variance) : 0.0;
}

// CalculateValues' arithmetic on geographic points in one loop: each counted
// point's errors into the point, then the statistics.
Statistics BareStatistics(ZOT_Point *points, int32_t count, const GeographicLib::Ellipsoid &ellipsoid) {
    const double metersPerDegreeLat = ellipsoid.QuarterMeridian() / 90.0;
    double n = 0, he = 0, he2 = 0, lat = 0, lat2 = 0, lon = 0, lon2 = 0, ve = 0, ve2 = 0, teC = 0, teL = 0, mens = 0;
    for (int32_t i = 0; i < count; ++i) {
        ZOT_Point &p = points[i];
        if (!(p.isMeasured && p.hasTELatitude && p.hasTELongitude && p.hasTEElevation && p.hasMensurationError &&
              p.hasTECE90 && p.hasTELE90)) {
            continue;
        }
        p.deltaLatitude = metersPerDegreeLat * (p.measuredLatitude - p.teLatitude);
        double east = p.measuredLongitude - p.teLongitude;  // the short way round
        if (!(east > -180.0 && east <= 180.0)) {
            east = std::fmod(east, 360.0);
            east += east > 180.0 ? -360.0 : east <= -180.0 ? 360.0 : 0.0;
        }
        p.deltaLongitude = zhg::ParallelRadius(ellipsoid, p.teLatitude) * east * GeographicLib::Math::degree();
        lat += p.deltaLatitude;
        lat2 += p.deltaLatitude * p.deltaLatitude;
        lon += p.deltaLongitude;
        lon2 += p.deltaLongitude * p.deltaLongitude;
        const double h = std::sqrt(p.deltaLatitude * p.deltaLatitude + p.deltaLongitude * p.deltaLongitude);
        p.individualCE = h;
        n += 1;
        he += h;
        he2 += h * h;
        teC += (p.teCE90 / 2.146) * (p.teCE90 / 2.146);
        p.deltaElevation = p.measuredElevation - p.teElevation;
        p.individualLE = p.deltaElevation;
        ve += p.deltaElevation;
        ve2 += p.deltaElevation * p.deltaElevation;
        teL += (p.teLE90 / 1.6449) * (p.teLE90 / 1.6449);
        mens += p.mensurationError * p.mensurationError;
    }
    Statistics s{};
    if (n == 0) return s;
    const double mensRms = std::sqrt(mens / n);
    s.meanHE = he / n;
    s.meanLat = lat / n;
    s.meanLon = lon / n;
    s.meanVE = ve / n;
    s.stdHE = Deviation(he2 / n, s.meanHE);
    s.stdLat = Deviation(lat2 / n, s.meanLat);
    s.stdLon = Deviation(lon2 / n, s.meanLon);
    s.ce90 = NinetyPercent(s.meanHE, s.stdHE);
    const double teC90 = 2.146 * std::sqrt(teC / n);
    s.ce90m = std::sqrt(s.ce90 * s.ce90 + mensRms * mensRms + teC90 * teC90);
    s.stdVE = Deviation(ve2 / n, s.meanVE);
    s.le90 = NinetyPercent(s.meanVE, s.stdVE);
    const double teL90 = 1.6449 * std::sqrt(teL / n);
    s.le90m = std::sqrt(s.le90 * s.le90 + mensRms * mensRms + teL90 * teL90);
    return s;
}

// The problem when the bare loop's errors or statistics differ from
// CalculateValues' by more than 1e-12 (relative).
std::string CheckBareStatistics(MeasuredTool &measured) {
    ZOT_Data *record = measured.tool.Record();
    ZOT_Point *points = PointArray(measured.tool);
    const int32_t count = measured.tool.Session().PointCount();
    if (!points) return "the points are not one array";
    Zerr_Report *err = nullptr;
    CalculateValues(&err, record);
    if (err) return "CalculateValues failed: " + zt::TakeReport(&err);
    const Statistics tool = StatisticsOf(record);
    std::vector<double> errors;
    for (int32_t i = 0; i < count; ++i) {
        const ZOT_Point &p = points[i];
        errors.insert(errors.end(), {p.deltaLatitude, p.deltaLongitude, p.deltaElevation, p.individualCE, p.individualLE});
    }
    const Statistics bare = BareStatistics(points, count, GeographicLib::Ellipsoid::WGS84());
    for (int32_t i = 0; i < count; ++i) {
        const ZOT_Point &p = points[i];
        const double mine[5] = {p.deltaLatitude, p.deltaLongitude, p.deltaElevation, p.individualCE, p.individualLE};
        for (int k = 0; k < 5; ++k) {
            if (!zb::Agree(mine[k], errors[5 * static_cast<size_t>(i) + k], 1e-12)) {
                return "the errors of point " + std::to_string(i) + " differ";
            }
        }
    }
    const double *a = &tool.meanLat, *b = &bare.meanLat;
    for (size_t k = 0; k < sizeof(Statistics) / sizeof(double); ++k) {
        if (!zb::Agree(a[k], b[k], 1e-12)) return "statistic " + std::to_string(k) + " differs";
    }
    return "";
}

void Calculate(benchmark::State &state, zb::Kind kind, const char *label) {
    const int count = static_cast<int>(state.range(0));
    MeasuredTool *measured = Prepare(state, kind, label);
    if (!measured) return;
    ZOT_Data *record = measured->tool.Record();
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
    Calculate(state, zb::Kind::Mono, kCalculateDegrees);
}
void BM_CalculateValuesMapUnits(benchmark::State &state) {
    Calculate(state, zb::Kind::MonoMapUnits, "CalculateValues, map units");
}

void BM_BareStatistics(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    MeasuredTool *measured = Prepare(state, zb::Kind::Mono, kBareStatistics);
    if (!measured) return;
    if (!zb::CheckOnce(state, kBareStatistics, [measured] { return CheckBareStatistics(*measured); })) return;
    ZOT_Point *points = PointArray(measured->tool);
    const GeographicLib::Ellipsoid &ellipsoid = GeographicLib::Ellipsoid::WGS84();
    for (auto _ : state) {
        const Statistics statistics = BareStatistics(points, count, ellipsoid);
        benchmark::DoNotOptimize(statistics);
    }
    zb::SetPoints(state, count);
}

BENCHMARK(BM_CalculateValuesDegrees)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareStatistics)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateValuesMapUnits)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// What the workspace's assessment reads after every change: the measured
// points back from the point table's cells, as residuals.
void BM_MeasuredFromTable(benchmark::State &state) {
    const size_t count = static_cast<size_t>(state.range(0));
    MeasuredTool *measured = Prepare(state, zb::Kind::Mono, "Measured points read from the table");
    if (!measured) return;
    Zerr_Report *err = nullptr;
    CalculateValues(&err, measured->tool.Record());
    if (err != nullptr) return state.SkipWithError(("CalculateValues failed: " + zt::TakeReport(&err)).c_str());
    for (auto _ : state) {
        const zassess::ResidualSet set = zapp::MeasuredResiduals();
        if (set.points.size() != count) return state.SkipWithError("the table did not give every measured point");
    }
    zb::SetPoints(state, static_cast<double>(count));
}
BENCHMARK(BM_MeasuredFromTable)->Arg(10000)->Unit(benchmark::kMillisecond);

void Report(benchmark::State &state, bool condensed, const char *label) {
    const int count = static_cast<int>(state.range(0));
    MeasuredTool *measured = Prepare(state, zb::Kind::Mono, label);
    if (!measured) return;
    ZOT_Data *record = measured->tool.Record();
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

void BM_CondensedReport(benchmark::State &state) { Report(state, true, kCondensed); }
void BM_FormattedReport(benchmark::State &state) { Report(state, false, kFormatted); }

// An angle as the report writes it: signed whole degrees as text, minutes
// and seconds.
struct Angle {
    char degrees[16];
    int minutes;
    double seconds;
};

// decimals are those the seconds are printed with: seconds that print as 60
// carry into the minutes and the degrees.
Angle AngleOf(double value, int decimals) {
    Angle a;
    const double magnitude = std::fabs(value);
    double whole = std::floor(magnitude);
    const double total = (magnitude - whole) * 3600.0;
    double minutes = std::floor(total / 60.0);
    double seconds = total - minutes * 60.0;
    if (seconds >= 59.99) {
        char rounded[32];
        std::snprintf(rounded, sizeof rounded, "%.*f", decimals, seconds);
        if (rounded[0] == '6' && rounded[1] == '0') {
            seconds = 0.0;
            if (++minutes == 60.0) {
                minutes = 0.0;
                ++whole;
            }
        }
    }
    // The sign and the digits of the whole degrees, written by hand.
    char digits[12];
    int length = 0;
    for (unsigned degrees = static_cast<unsigned>(whole); length == 0 || degrees > 0; degrees /= 10) {
        digits[length++] = static_cast<char>('0' + degrees % 10);
    }
    a.degrees[0] = value < 0.0 ? '-' : '+';
    for (int i = 0; i < length; ++i) a.degrees[1 + i] = digits[length - 1 - i];
    a.degrees[1 + length] = '\0';
    a.minutes = static_cast<int>(minutes);
    a.seconds = seconds;
    return a;
}

// The report of a mono geographic tool in meters, one fprintf a point; false
// when the file cannot be written.
bool BareReport(const char *path, const ZOT_Data *d, const ZOT_Point *points, int32_t count, bool condensed) {
    char name[ZFIO_NAME_BUFFER] = {0};
    if (!zfio_FileNameParse(d->imageFileName[0], nullptr, 4, name)) return false;
    std::FILE *out = std::fopen(path, "w+");
    if (!out) return false;
    std::fprintf(out,
                 "ZOT Report for %s\r\n\r\nDistance values are in meters\r\n\r\n"
                 "Mean latitude error: %f\r\nMean longitude error: %f\r\n"
                 "Mean horizontal error (average HE): %f\r\n"
                 "Standard deviation latitude error: %f\r\nStandard deviation longitude error: %f\r\n"
                 "Standard deviation horizontal error: %f\r\n"
                 "90%% Circular Error (against T&E): %f\r\n"
                 "90%% Circular Error (T&E and mensuration error included): %f\r\n\r\n",
                 name, d->meanLatError, d->meanLonError, d->meanHE, d->stdDevLatError, d->stdDevLonError,
                 d->stdDevHE, d->ce90, d->ce90WithMensuration);
    if (condensed) {
        std::fprintf(out, "ID,T&E Latitude,T&E Longitude,T&E Elevation,T&E CE90,T&E LE90,T&E Description,"
                          "Measured Latitude,Measured Longitude,Measured Elevation,Delta Latitude,"
                          "Delta Longitude,Delta Elevation,Mensuration Error,Individual HE,Individual VE\n");
    }
    const char *rule = "-------------------------------------------------------------------------\r\n";
    for (int32_t i = 0; i < count; ++i) {
        const ZOT_Point &p = points[i];
        if (!p.isMeasured) continue;
        const int decimals = condensed ? 6 : 3;
        const Angle a = AngleOf(p.teLatitude, decimals), b = AngleOf(p.teLongitude, decimals);
        const Angle c = AngleOf(p.measuredLatitude, decimals), e = AngleOf(p.measuredLongitude, decimals);
        const double mensuration = p.mensurationError / d->averagePixelToMeter;
        if (condensed) {
            std::fprintf(out, "%s,%s:%d:%f,%s:%d:%f,%f,%f,%f,%s,%s:%d:%f,%s:%d:%f,%f,%f,%f,%f,%f,%f,%f\n", p.pointId,
                         a.degrees, a.minutes, a.seconds, b.degrees, b.minutes, b.seconds, p.teElevation, p.teCE90,
                         p.teLE90, p.teDescription, c.degrees, c.minutes, c.seconds, e.degrees, e.minutes, e.seconds,
                         p.measuredElevation, p.deltaLatitude, p.deltaLongitude, p.deltaElevation, mensuration,
                         p.individualCE, p.individualLE);
        } else {
            std::fprintf(out,
                         "%s|      ID|  T&E Latitude| T&E Longitude| T&E Elevation|T&E CE90|T&E LE90|\r\n"
                         "|%8s|%4s %02d %6.3f|%4s %02d %6.3f|   %11.3f|%8.3f|%8.3f|\r\n"
                         "%s|                                                        T&E Description|\r\n"
                         "|%71s|\r\n%s"
                         "|       Measured Latitude|      Measured Longitude|   Measured Elevation|\r\n"
                         "|          %4s %02d %6.3f|          %4s %02d %6.3f|          %11.3f|\r\n%s"
                         "|  Delta Latitude| Delta Longitude|  Delta Elevation|  Mensuration Error|\r\n"
                         "|     %11.3f|     %11.3f|      %11.3f|        %11.3f|\r\n%s"
                         "|                      Individual HE|                      Individual VE|\r\n"
                         "|                        %11.3f|                        %11.3f|\r\n%s\r\n\r\n",
                         rule, p.pointId, a.degrees, a.minutes, a.seconds, b.degrees, b.minutes, b.seconds,
                         p.teElevation, p.teCE90, p.teLE90, rule, p.teDescription, rule, c.degrees, c.minutes,
                         c.seconds, e.degrees, e.minutes, e.seconds, p.measuredElevation, rule, p.deltaLatitude,
                         p.deltaLongitude, p.deltaElevation, mensuration, rule, p.individualCE, p.individualLE, rule);
        }
    }
    return std::fclose(out) == 0;
}

std::string Contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The problem when the bare report differs from CreateReport's by a byte.
std::string CheckBareReport(MeasuredTool &measured, bool condensed) {
    ZOT_Data *record = measured.tool.Record();
    ZOT_Point *points = PointArray(measured.tool);
    if (!points) return "the points are not one array";
    record->condensedFormat = condensed ? 1 : 0;
    const std::string toolPath = zb::Folder().File("check_tool.txt"), barePath = zb::Folder().File("check_bare.txt");
    Zerr_Report *err = nullptr;
    CreateReport(toolPath.c_str(), record, &err);
    if (err) return "CreateReport failed: " + zt::TakeReport(&err);
    if (!BareReport(barePath.c_str(), record, points, measured.tool.Session().PointCount(), condensed)) {
        return "the bare report could not be written";
    }
    const std::string tool = Contents(toolPath), bare = Contents(barePath);
    if (tool == bare) return "";
    size_t at = 0;
    while (at < tool.size() && at < bare.size() && tool[at] == bare[at]) ++at;
    return "the reports differ from byte " + std::to_string(at);
}

void BareReportBenchmark(benchmark::State &state, bool condensed, const char *label) {
    const int count = static_cast<int>(state.range(0));
    MeasuredTool *measured = Prepare(state, zb::Kind::Mono, label);
    if (!measured) return;
    if (!zb::CheckOnce(state, label, [measured, condensed] { return CheckBareReport(*measured, condensed); })) return;
    const std::string path = zb::Folder().File("report.txt");
    ZOT_Point *points = PointArray(measured->tool);
    for (auto _ : state) {
        if (!BareReport(path.c_str(), measured->tool.Record(), points, count, condensed)) {
            state.SkipWithError("the bare report could not be written");
            return;
        }
    }
    zb::SetPoints(state, count);
}

void BM_BareCondensedReport(benchmark::State &state) { BareReportBenchmark(state, true, kBareCondensed); }
void BM_BareFormattedReport(benchmark::State &state) { BareReportBenchmark(state, false, kBareFormatted); }

BENCHMARK(BM_CondensedReport)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCondensedReport)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormattedReport)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareFormattedReport)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

ZB_MAIN()
