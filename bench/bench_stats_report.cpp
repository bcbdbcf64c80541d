// Speed of the statistics and of the report over large point sets.
// Targets: CalculateValues over 100,000 counted points in at most 10 ms; the
// condensed report of 100,000 measured points in at most 0.5 s, the formatted
// one in at most 1.5 s.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

#include "automation/ui_automation.h"
#include "boundary/zot_data.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "geometry/geometry.h"
#include "points/zot_point.h"
#include "report/report.h"
#include "zhost.h"

namespace {

const int kPoints = 100000;

// A tool record with kPoints measured points that all count, its labels and
// table bound from a small UI script; geographic images when degrees is set.
class BenchRecord {
public:
    explicit BenchRecord(bool degrees) {
        record_.imageCount = 2;
        record_.imageFileName[0] = zstr_Duplicate("/bench/left.tif");
        record_.imageFileName[1] = zstr_Duplicate("/bench/right.tif");
        record_.averagePixelToMeter = 0.5;
        record_.pointList = zdlm_InitList(sizeof(ZOT_Point), 256, nullptr);
        record_.imagePickList[0] = zdlm_InitList(sizeof(ZOT_PickCoord), 10, nullptr);
        record_.imagePickList[1] = zdlm_InitList(sizeof(ZOT_PickCoord), 10, nullptr);
        if (degrees) {
            const zt::ImageTruth image = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
            Zerr_Report *err = nullptr;
            GetFileToMap(&err, &record_, image.path.c_str(), nullptr, &record_.projection, nullptr, nullptr);
            zerr_DeleteErrorReportEx(&err);
        } else {
            record_.mapUnits = zstr_Duplicate("meters");
        }
        BindLabels();
        for (int i = 0; i < kPoints; ++i) {
            ZOT_Point p{};
            p.isMeasured = p.hasTELatitude = p.hasTELongitude = p.hasTEElevation = 1;
            p.hasTECE90 = p.hasTELE90 = p.hasMensurationError = p.hasPointId = p.hasTEDescription = 1;
            const double spread = (i % 97) * (degrees ? 1e-6 : 0.1);
            p.teLongitude = degrees ? 7.0 + i * 1e-5 : 350000.0 + i;
            p.teLatitude = degrees ? 45.0 - i * 1e-5 : 4985000.0 - i;
            p.teElevation = 500.0 + (i % 13);
            p.teCE90 = 1.5;
            p.teLE90 = 2.0;
            p.measuredLongitude = p.teLongitude + spread;
            p.measuredLatitude = p.teLatitude - spread;
            p.measuredElevation = p.teElevation + (i % 7) * 0.25 - 0.75;
            p.mensurationError = 0.3;
            p.pointId = zstr_Sprintf(nullptr, "P%06d", nullptr, i);
            p.teDescription = zstr_Duplicate("Road crossing, north side");
            zdlm_Add(record_.pointList, &p, nullptr);
        }
        Zerr_Report *err = nullptr;
        CalculateValues(&err, &record_);
        zerr_DeleteErrorReportEx(&err);
    }
    ~BenchRecord() {
        const int32_t count = zdlm_CountList(record_.pointList, nullptr);
        for (int32_t i = 0; i < count; ++i) {
            ZOT_Point *p = static_cast<ZOT_Point *>(zdlm_GetAddr(record_.pointList, i, nullptr));
            zmsc_HeapFree(p->pointId);
            zmsc_HeapFree(p->teDescription);
        }
        zdlm_FreeList(&record_.pointList, nullptr);
        zdlm_FreeList(&record_.imagePickList[0], nullptr);
        zdlm_FreeList(&record_.imagePickList[1], nullptr);
        zprj_ProParametersFree(&record_.projection);
        zmsc_HeapFree(record_.mapUnits);
        zmsc_HeapFree(record_.imageFileName[0]);
        zmsc_HeapFree(record_.imageFileName[1]);
        zzml_ParseResultFree(&parse_, nullptr);
        zha::UiReset();
    }

    ZOT_Data *get() { return &record_; }
    std::string File(const char *name) const { return dir_.File(name); }

private:
    void BindLabels() {
        std::ofstream(dir_.File("bench.zml")) << "frame bench \"Bench\" {\n"
                                                 "    label avgce \"Average CE:\"\n"
                                                 "    label avgle \"Average LE:\"\n"
                                                 "    label ce90 \"CE90:\"\n"
                                                 "    label le90 \"LE90:\"\n"
                                                 "    label leftcount \"Left points:\"\n"
                                                 "    label rightcount \"Right points:\"\n"
                                                 "    cellarray dataarray { column \"ID\" text }\n"
                                                 "}\n";
        zha::SetUiDir(dir_.Path());
        parse_ = zzml_ParseVa(0, "bench.zml", zzml_GetTheRoot()->context, nullptr, 2, &record_, 0);
        Zzml_Part *frame = zzml_PartFind(parse_, "bench", nullptr);
        record_.avgCELabel = zzml_FrameFindPart(frame, "avgce", nullptr);
        record_.avgLELabel = zzml_FrameFindPart(frame, "avgle", nullptr);
        record_.ce90Label = zzml_FrameFindPart(frame, "ce90", nullptr);
        record_.le90Label = zzml_FrameFindPart(frame, "le90", nullptr);
        record_.leftCountLabel = zzml_FrameFindPart(frame, "leftcount", nullptr);
        record_.rightCountLabel = zzml_FrameFindPart(frame, "rightcount", nullptr);
        record_.dataArray = zzml_FrameFindPart(frame, "dataarray", nullptr);
    }

    zt::TempDir dir_;
    ZOT_Data record_{};
    Zzml_ParseResult *parse_ = nullptr;
};

void RunCalculateValues(benchmark::State &state, bool degrees) {
    BenchRecord record(degrees);
    for (auto _ : state) {
        Zerr_Report *err = nullptr;
        CalculateValues(&err, record.get());
        if (err != nullptr) {
            state.SkipWithError("CalculateValues reported a failure");
            zerr_DeleteErrorReportEx(&err);
            break;
        }
        benchmark::DoNotOptimize(record.get()->ce90WithMensuration);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_CalculateValuesMeters(benchmark::State &state) { RunCalculateValues(state, false); }
void BM_CalculateValuesDegrees(benchmark::State &state) { RunCalculateValues(state, true); }

void RunReport(benchmark::State &state, bool condensed) {
    BenchRecord record(true);
    record.get()->condensedFormat = condensed ? 1 : 0;
    const std::string path = record.File("report.txt");
    for (auto _ : state) {
        Zerr_Report *err = nullptr;
        CreateReport(path.c_str(), record.get(), &err);
        if (err != nullptr) {
            state.SkipWithError("CreateReport reported a failure");
            zerr_DeleteErrorReportEx(&err);
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::ifstream(path, std::ios::ate).tellg()));
}

void BM_CondensedReport(benchmark::State &state) { RunReport(state, true); }
void BM_FormattedReport(benchmark::State &state) { RunReport(state, false); }

BENCHMARK(BM_CalculateValuesMeters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateValuesDegrees)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CondensedReport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormattedReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
