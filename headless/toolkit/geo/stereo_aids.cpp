// The stereo aids' pair (see stereo_aids.h): opening it, reading windows
// and the epipolar curve of a pick. The correlation proposal is in
// stereo_match.cpp, the local stereo frame in stereo_frame.cpp.
#include "toolkit/geo/stereo_aids.h"

#include <cpl_conv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "toolkit/geo/stereo_aids_internal.h"
#include "zerr.h"
#include "zstr.h"

namespace zhg {

namespace stereo {

std::string Text(const char *format, double a, double b, double c, double d) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

bool Solve(int n, double A[4][4], double b[4], double x[4]) {
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(A[r][col]) > std::fabs(A[pivot][col])) pivot = r;
        if (!(std::fabs(A[pivot][col]) > 1e-300)) return false;
        std::swap(A[col], A[pivot]);
        std::swap(b[col], b[pivot]);
        for (int r = col + 1; r < n; ++r) {
            const double f = A[r][col] / A[col][col];
            for (int k = col; k < n; ++k)
                A[r][k] -= f * A[col][k];
            b[r] -= f * b[col];
        }
    }
    for (int r = n - 1; r >= 0; --r) {
        double s = b[r];
        for (int k = r + 1; k < n; ++k)
            s -= A[r][k] * x[k];
        x[r] = s / A[r][r];
    }
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(x[i])) return false;
    return true;
}

}  // namespace stereo

using stereo::Region;
using stereo::Sides;

double CrossCorrelation(const double *a, const double *b, size_t count) {
    if (count == 0) return 0;
    double sa = 0, sb = 0;
    for (size_t i = 0; i < count; ++i) {
        sa += a[i];
        sb += b[i];
    }
    const double ma = sa / static_cast<double>(count), mb = sb / static_cast<double>(count);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < count; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

StereoAids::StereoAids(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StereoAids::~StereoAids() = default;

std::unique_ptr<StereoAids> StereoAids::Open(const std::string &left, const std::string &right, std::string *error) {
    auto impl = std::make_unique<Impl>();
    Zerr_Report *report = nullptr;
    Zstr_StringList *names = zstr_StringListAppend(nullptr, left.c_str(), &report);
    zerr_DeleteErrorReportEx(&report);
    names = zstr_StringListAppend(names, right.c_str(), &report);
    zerr_DeleteErrorReportEx(&report);
    // The very call the tool makes for its own block.
    impl->block = zpho_BlockCreateFromImages(0, "dd", "meters", "dd", nullptr, "NITF RPC", 0, names, 0, &report);
    zstr_StringListDelete(&names, nullptr);
    if (!impl->block || impl->block->imageCount != 2) {
        *error = report ? zerr_ReportMessage(report) : "the pair has no block";
        zerr_DeleteErrorReportEx(&report);
        return nullptr;
    }
    zerr_DeleteErrorReportEx(&report);
    impl->info = zpho_BlockModelInfoGet(impl->block, nullptr);
    GdalQuiet quiet;
    for (int i = 0; i < 2; ++i) {
        impl->files[i] = i == 0 ? left : right;
        impl->datasets[i] = OpenRaster(impl->files[i].c_str(), error);
        if (!impl->datasets[i]) return nullptr;
        impl->width[i] = GDALGetRasterXSize(impl->datasets[i]);
        impl->height[i] = GDALGetRasterYSize(impl->datasets[i]);
        if (GDALGetRasterCount(impl->datasets[i]) < 1) {
            *error = impl->files[i] + " has no band";
            return nullptr;
        }
    }
    return std::unique_ptr<StereoAids>(new StereoAids(std::move(impl)));
}

const std::string &StereoAids::File(int image) const { return impl_->files[image]; }
int StereoAids::Width(int image) const { return impl_->width[image]; }
int StereoAids::Height(int image) const { return impl_->height[image]; }
double StereoAids::HeightOffset(int image) const { return impl_->Model(image).heightOff; }
double StereoAids::HeightScale(int image) const { return std::fabs(impl_->Model(image).heightScale); }
const Zpho_ModelInfo *StereoAids::ModelInfo() const { return impl_->info; }

bool StereoAids::ReadWindow(int image, int column, int row, int window, std::vector<double> *pixels) const {
    const int r = window / 2;
    Region region;
    if (!impl_->Read(image, column - r, row - r, window, window, &region) || region.width != window ||
        region.height != window) {
        return false;
    }
    *pixels = std::move(region.pixels);
    return true;
}

EpipolarCurve StereoAids::Predict(int from, double x, double y, double referenceHeight, double tickStep) const {
    EpipolarCurve curve;
    if (!Sides(from, &curve)) return curve;
    if (!std::isfinite(x) || !std::isfinite(y) || !(tickStep > 0)) {
        curve.error = "the pick or the tick step is not a number";
        return curve;
    }
    const Rpc &a = impl_->Model(0), &b = impl_->Model(1);
    curve.minHeight = std::max(a.heightOff - std::fabs(a.heightScale), b.heightOff - std::fabs(b.heightScale));
    curve.maxHeight = std::min(a.heightOff + std::fabs(a.heightScale), b.heightOff + std::fabs(b.heightScale));
    if (!(curve.minHeight < curve.maxHeight)) {
        curve.error = "the two models share no height range";
        return curve;
    }
    std::vector<std::pair<double, bool>> heights{{curve.minHeight, false}};
    for (double k = std::floor(curve.minHeight / tickStep) + 1; k * tickStep < curve.maxHeight; ++k)
        heights.emplace_back(k * tickStep, true);
    heights.emplace_back(curve.maxHeight, false);
    for (const auto &[h, tick] : heights) {
        CurvePoint p;
        p.height = h;
        p.tick = tick || std::fmod(h, tickStep) == 0;
        if (impl_->Project(from, x, y, h, &p.x, &p.y)) curve.points.push_back(p);
    }
    if (curve.points.size() < 2) {
        curve.points.clear();
        curve.error = "the pick's ray does not reach the other image's model within the heights the models cover";
        return curve;
    }
    if (referenceHeight >= curve.minHeight && referenceHeight <= curve.maxHeight) {
        curve.predicted.height = referenceHeight;
        curve.hasPredicted = impl_->Project(from, x, y, referenceHeight, &curve.predicted.x, &curve.predicted.y);
    }
    curve.ok = true;
    return curve;
}

}  // namespace zhg
