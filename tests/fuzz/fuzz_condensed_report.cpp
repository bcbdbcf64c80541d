// Fuzzes reading condensed reports back (zot-host assess) two ways:
//   - the input itself as a report: it reads, or fails with a message;
//   - the input as points: the tool's own report writer writes them in the
//     condensed layout (geographic or map, metres or feet, mono or stereo),
//     and the reader must give back every point with its texts exactly and
//     its numbers to the six decimals the layout prints.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "condensed_report.h"
#include "fuzz_checks.h"
#include "points/zot_point.h"
#include "report/report.h"
#include "zhost.h"

namespace {

using zt_fuzz::require;

const std::string &reportFile() {
    static zt_fuzz::ScratchFile file("fuzz_condensed_report");
    return file.path();
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a point was written with, in metres and degrees or map units.
struct Written {
    std::string id, description;
    double teX, teY, teZ, ce90, le90, measX, measY, measZ, dN, dE, dU, mensurationPixels;
};

// Agreement to the six decimals %f prints, in the shown unit.
bool Close(double read, double written, double unit) {
    return std::fabs(read - written) <= 6e-7 * unit + 1e-12 * std::fabs(written);
}

void CheckRoundTrip(FuzzedDataProvider &in) {
    const bool geographic = in.ConsumeBool();
    const bool stereo = in.ConsumeBool();
    const bool feet = in.ConsumeBool();
    const double unit = feet ? 0.3048 : 1.0;
    const double limit = geographic ? 1.0 : 1e7;  // map X and Y: |value| below 1e7 map units

    ZOT_Data record{};
    record.imageCount = stereo ? 2 : 1;
    char left[] = "left.tif", right[] = "right.tif";
    record.imageFileName[0] = left;
    record.imageFileName[1] = stereo ? right : nullptr;
    record.unitsAreDegrees = geographic ? 1 : 0;
    record.distanceUnits = feet ? 1 : 0;
    record.condensedFormat = 1;
    record.averagePixelToMeter = in.ConsumeFloatingPointInRange(0.01, 10.0);
    record.pointList = zdlm_InitList(sizeof(ZOT_Point), 8, nullptr);

    std::vector<Written> written;
    std::vector<std::string> texts;  // kept alive while the points point at them
    texts.reserve(32);
    const int count = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        ZOT_Point p{};
        // C strings: a text ends at its first NUL.
        texts.push_back(in.ConsumeRandomLengthString(24).c_str());
        p.pointId = &texts.back()[0];
        texts.push_back(in.ConsumeRandomLengthString(24).c_str());
        p.teDescription = &texts.back()[0];
        auto position = [&](double degrees) {
            return geographic ? in.ConsumeFloatingPointInRange(-degrees, degrees)
                              : in.ConsumeFloatingPointInRange(-limit, limit);
        };
        auto length = [&] { return in.ConsumeFloatingPointInRange(-1e5, 1e5); };
        p.teLatitude = position(89.99);
        p.teLongitude = position(179.99);
        p.measuredLatitude = position(89.99);
        p.measuredLongitude = position(179.99);
        p.teElevation = length();
        p.teCE90 = std::fabs(length());
        p.teLE90 = std::fabs(length());
        p.measuredElevation = length();
        p.deltaLatitude = length();
        p.deltaLongitude = length();
        p.deltaElevation = length();
        p.mensurationError = in.ConsumeFloatingPointInRange(0.0, 100.0);
        p.isMeasured = in.ConsumeBool() ? 1 : 0;
        zdlm_Add(record.pointList, &p, nullptr);
        if (!p.isMeasured) continue;
        written.push_back({p.pointId, p.teDescription, p.teLongitude, p.teLatitude, p.teElevation, p.teCE90,
                           p.teLE90, p.measuredLongitude, p.measuredLatitude, p.measuredElevation, p.deltaLatitude,
                           p.deltaLongitude, p.deltaElevation, p.mensurationError / record.averagePixelToMeter});
    }

    Zerr_Report *err = nullptr;
    CreateReport(reportFile().c_str(), &record, &err);
    require(err == nullptr, "the report is written");
    zdlm_FreeList(&record.pointList, nullptr);

    zassess::ResidualSet set;
    std::string error;
    require(zassess::ReadCondensedReport(ReadFile(reportFile()), &set, &error),
            "the tool's condensed report reads back: " + error);
    require(set.geographic == geographic && set.vertical == stereo, "the report's form and kind");
    require(set.points.size() == written.size(), "every measured point, and only those");
    // Angles come back from whole degrees, minutes and seconds to six decimals.
    const double angle = geographic ? 1.0 / 3600.0 : 1.0;
    for (size_t i = 0; i < written.size(); ++i) {
        const Written &w = written[i];
        const zassess::Residual &r = set.points[i];
        require(r.id == w.id, "the ID \"" + w.id + "\" came back as \"" + r.id + "\"");
        require(r.description == w.description, "the description \"" + w.description + "\" came back as \"" +
                                                     r.description + "\"");
        require(Close(r.refX, w.teX, angle) && Close(r.refY, w.teY, angle), "the reference position");
        require(Close(r.measX, w.measX, angle) && Close(r.measY, w.measY, angle), "the measured position");
        require(Close(r.refZ, w.teZ, unit) && Close(r.measZ, w.measZ, unit), "the elevations");
        require(Close(r.refCE90, w.ce90, unit) && Close(r.refLE90, w.le90, unit), "the reference accuracies");
        require(Close(r.dN, w.dN, unit) && Close(r.dE, w.dE, unit) && Close(r.dU, w.dU, unit), "the residuals");
        require(Close(r.mensurationPixels, w.mensurationPixels, 1.0), "the mensuration error in pixels");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zassess::ResidualSet set;
    std::string error;
    if (!zassess::ReadCondensedReport(std::string(reinterpret_cast<const char *>(data), size), &set, &error)) {
        require(!error.empty(), "a report that does not read says why");
    }
    FuzzedDataProvider in(data, size);
    CheckRoundTrip(in);
    return 0;
}
