// Prediction, correlation proposals and the local stereo frame of a pair, on
// the pair's block (see stereo_aids.h).
#include "toolkit/geo/stereo_aids.h"

#include <cpl_conv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "toolkit/geo/geo_internal.h"
#include "zblk.h"
#include "zerr.h"
#include "zpho.h"
#include "zstr.h"

namespace zhg {

namespace {

std::string Text(const char *format, double a, double b = 0, double c = 0, double d = 0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// A rectangle of an image's pixels, the mean of its bands, row by row.
struct Region {
    int x0 = 0, y0 = 0, width = 0, height = 0;
    std::vector<double> pixels;
    double At(int column, int row) const {
        return pixels[static_cast<size_t>(row - y0) * static_cast<size_t>(width) + static_cast<size_t>(column - x0)];
    }
    bool Holds(int column, int row, int radius) const {
        return column - radius >= x0 && row - radius >= y0 && column + radius < x0 + width &&
               row + radius < y0 + height;
    }
};

// Solves the n x n system A x = b (n at most 4) by Gaussian elimination with
// partial pivoting; false when A is singular.
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

// The refined peak of a 3 x 3 neighbourhood f[row][column] (offsets -1, 0, 1):
// the top of the quadratic through its centre cross and corners, kept within
// the neighbourhood; an axis whose curvature does not bend down keeps 0.
void QuadraticPeak(const double f[3][3], double *dx, double *dy, double *top) {
    const double gx = 0.5 * (f[1][2] - f[1][0]), gy = 0.5 * (f[2][1] - f[0][1]);
    const double hxx = f[1][2] - 2 * f[1][1] + f[1][0], hyy = f[2][1] - 2 * f[1][1] + f[0][1];
    const double hxy = 0.25 * (f[2][2] - f[2][0] - f[0][2] + f[0][0]);
    const double det = hxx * hyy - hxy * hxy;
    double x = 0, y = 0;
    if (hxx < 0 && hyy < 0 && det > 0) {
        x = (-gx * hyy + gy * hxy) / det;
        y = (-gy * hxx + gx * hxy) / det;
    }
    if (!(std::fabs(x) <= 1 && std::fabs(y) <= 1)) {
        // Each axis on its own through the centre.
        x = hxx < 0 ? std::clamp(-gx / hxx, -0.5, 0.5) : 0;
        y = hyy < 0 ? std::clamp(-gy / hyy, -0.5, 0.5) : 0;
    }
    *dx = x;
    *dy = y;
    *top = std::min(1.0, f[1][1] + gx * x + gy * y + 0.5 * (hxx * x * x + 2 * hxy * x * y + hyy * y * y));
}

// Sets which image holds the pick and which is the other; false, with the
// result's error, when from names neither.
template <typename Result>
bool Sides(int from, Result *result) {
    if (from != 0 && from != 1) {
        result->error = "the pick is in no image of the pair";
        return false;
    }
    result->from = from;
    result->to = 1 - from;
    return true;
}

}  // namespace

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

struct StereoAids::Impl {
    Zpho_BlockData *block = nullptr;
    const Zpho_ModelInfo *info = nullptr;
    std::array<std::string, 2> files;
    std::array<GDALDatasetH, 2> datasets{};
    std::array<int, 2> width{}, height{};

    ~Impl() {
        for (GDALDatasetH ds : datasets)
            if (ds) GDALClose(ds);
        zpho_BlockDataFree(&block, nullptr);
    }

    const Rpc &Model(int image) const { return *BlockModel(info, image); }

    // A pick's ray at a height, seen in the other image.
    bool Project(int from, double x, double y, double h, double *ox, double *oy) const {
        double ground[3] = {0, 0, h}, out[2];
        if (!RpcFileToGround(Model(from), x, y, h, &ground[0], &ground[1])) return false;
        if (!zblk_ObjectToFile(info, 1 - from, 1, ground, out, 1)) return false;
        *ox = out[0];
        *oy = out[1];
        return true;
    }

    bool ToImage(int image, double lon, double lat, double h, double *x, double *y) const {
        const double ground[3] = {lon, lat, h};
        double out[2];
        if (!zblk_ObjectToFile(info, image, 1, ground, out, 1)) return false;
        *x = out[0];
        *y = out[1];
        return true;
    }

    // Reads a rectangle (clipped to the image) in the image's own data type
    // and turns it into the mean of its bands; false when nothing is left or
    // GDAL fails.
    bool Read(int image, int x0, int y0, int w, int h, Region *region) const {
        const int x1 = std::min(x0 + w, width[image]), y1 = std::min(y0 + h, height[image]);
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        if (x1 <= x0 || y1 <= y0) return false;
        region->x0 = x0;
        region->y0 = y0;
        region->width = x1 - x0;
        region->height = y1 - y0;
        const size_t n = static_cast<size_t>(region->width) * static_cast<size_t>(region->height);
        region->pixels.assign(n, 0.0);
        GDALDatasetH ds = datasets[image];
        const int bands = GDALGetRasterCount(ds);
        std::vector<unsigned char> raw;
        std::vector<double> values(n);
        for (int b = 1; b <= bands; ++b) {
            GDALRasterBandH band = GDALGetRasterBand(ds, b);
            const GDALDataType type = GDALGetRasterDataType(band);
            const int size = GDALGetDataTypeSizeBytes(type);
            raw.resize(n * static_cast<size_t>(size));
            if (GDALRasterIO(band, GF_Read, x0, y0, region->width, region->height, raw.data(), region->width,
                             region->height, type, 0, 0) != CE_None) {
                return false;
            }
            GDALCopyWords64(raw.data(), type, size, values.data(), GDT_Float64, sizeof(double),
                            static_cast<GPtrDiff_t>(n));
            for (size_t i = 0; i < n; ++i)
                region->pixels[i] += values[i];
        }
        for (double &v : region->pixels)
            v /= bands;
        return true;
    }
};

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

Proposal StereoAids::Match(int from, double x, double y, double centreHeight, const MatchOptions &o) const {
    Proposal p;
    if (!Sides(from, &p)) return p;
    const int to = p.to;
    if (o.window < 5 || o.window > 101 || o.window % 2 == 0) {
        p.error = Text("the window must be an odd number of pixels from 5 to 101, not %g", o.window);
        return p;
    }
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(centreHeight) || !(o.searchHalfRange >= 0) ||
        !std::isfinite(o.searchHalfRange)) {
        p.error = "the pick, the height or the search range is not a number";
        return p;
    }
    const int r = o.window / 2;
    const int n = o.window * o.window;
    // The pick's window, made zero-mean and of unit length: the correlation
    // of a window is then its dot product with it over the window's spread.
    const int column = static_cast<int>(std::floor(x)), row = static_cast<int>(std::floor(y));
    std::vector<double> t;
    if (!ReadWindow(from, column, row, o.window, &t)) {
        p.error = Text("a %g x %g window around the pick does not fit inside the image", o.window, o.window);
        return p;
    }
    double mean = 0;
    for (double v : t)
        mean += v;
    mean /= n;
    double length = 0;
    for (double &v : t) {
        v -= mean;
        length += v * v;
    }
    if (!(length > 1e-12 * (1 + mean * mean) * n)) {
        p.error = "the window around the pick is flat: there is nothing to correlate";
        return p;
    }
    length = std::sqrt(length);
    for (double &v : t)
        v /= length;

    // The cells the curve crosses within the search range, in height order.
    const double half = o.searchHalfRange > 0 ? o.searchHalfRange : HeightScale(from);
    const double low = centreHeight - half, high = centreHeight + half;
    double x0, y0, x1, y1;
    if (!impl_->Project(from, x, y, centreHeight, &x0, &y0) ||
        !impl_->Project(from, x, y, centreHeight + 1, &x1, &y1)) {
        p.error = "the pick's ray has no position in the other image at that height";
        return p;
    }
    const double pixelsPerMeter = std::hypot(x1 - x0, y1 - y0);
    const int steps = static_cast<int>(std::min(20000.0, std::ceil(2 * half * pixelsPerMeter / 0.5))) + 1;
    struct Cell {
        int column, row;
        double height;
    };
    std::vector<Cell> cells;
    const int W = Width(to), H = Height(to);
    for (int k = 0; k <= steps; ++k) {
        const double h = low + (high - low) * k / steps;
        double cx, cy;
        if (!impl_->Project(from, x, y, h, &cx, &cy)) continue;
        const int c = static_cast<int>(std::floor(cx)), rr = static_cast<int>(std::floor(cy));
        if (c - r < 0 || rr - r < 0 || c + r >= W || rr + r >= H) continue;
        if (!cells.empty() && cells.back().column == c && cells.back().row == rr) continue;
        cells.push_back({c, rr, h});
    }
    if (cells.empty()) {
        p.error = "within the search range the epipolar curve does not come within the other image's windows";
        return p;
    }
    // One read of the other image covers every window, and a little more for
    // the refinement.
    const int reach = r + 4;
    int cx0 = cells[0].column, cx1 = cx0, cy0 = cells[0].row, cy1 = cy0;
    for (const Cell &c : cells) {
        cx0 = std::min(cx0, c.column), cx1 = std::max(cx1, c.column);
        cy0 = std::min(cy0, c.row), cy1 = std::max(cy1, c.row);
    }
    Region region;
    if (!impl_->Read(to, cx0 - reach, cy0 - reach, cx1 - cx0 + 2 * reach + 1, cy1 - cy0 + 2 * reach + 1, &region)) {
        p.error = "the other image cannot be read: " + GdalMessage("GDAL gave no reason");
        return p;
    }
    const auto correlate = [&](int c, int rr) {
        double s = 0, ss = 0, st = 0;
        const double *tp = t.data();
        for (int j = -r; j <= r; ++j) {
            const double *w =
                &region.pixels[static_cast<size_t>(rr + j - region.y0) * region.width + (c - r - region.x0)];
            for (int i = 0; i < o.window; ++i) {
                const double v = w[i];
                s += v;
                ss += v * v;
                st += v * *tp++;
            }
        }
        const double spread = ss - s * s / n;
        return spread > 1e-12 * (1 + ss) ? st / std::sqrt(spread) : 0.0;
    };
    // The same at a fractional centre, each window pixel interpolated
    // (bilinear) with the same weights.
    const auto correlateAt = [&](double cx, double cy) {
        const int ix = static_cast<int>(std::floor(cx)), iy = static_cast<int>(std::floor(cy));
        const double fx = cx - ix, fy = cy - iy;
        if (!region.Holds(ix, iy, r) || !region.Holds(ix + 1, iy + 1, r)) return -1.0;
        const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
        double s = 0, ss = 0, st = 0;
        const double *tp = t.data();
        for (int j = -r; j <= r; ++j) {
            const double *a =
                &region.pixels[static_cast<size_t>(iy + j - region.y0) * region.width + (ix - r - region.x0)];
            const double *b = a + region.width;
            for (int i = 0; i < o.window; ++i) {
                const double v = w00 * a[i] + w10 * a[i + 1] + w01 * b[i] + w11 * b[i + 1];
                s += v;
                ss += v * v;
                st += v * *tp++;
            }
        }
        const double spread = ss - s * s / n;
        return spread > 1e-12 * (1 + ss) ? st / std::sqrt(spread) : 0.0;
    };
    std::vector<double> profile(cells.size());
    size_t best = 0;
    for (size_t k = 0; k < cells.size(); ++k) {
        profile[k] = correlate(cells[k].column, cells[k].row);
        if (profile[k] > profile[best]) best = k;
    }
    // The best other peak: a local maximum of the profile beyond the best
    // peak's own slopes.
    const double exclusion = std::max(3.0, o.window / 4.0);
    for (size_t k = 0; k < cells.size(); ++k) {
        const bool peak =
            (k == 0 || profile[k] >= profile[k - 1]) && (k + 1 == cells.size() || profile[k] >= profile[k + 1]);
        if (peak && std::hypot(cells[k].column - cells[best].column, cells[k].row - cells[best].row) > exclusion)
            p.secondCoefficient = std::max(p.secondCoefficient, profile[k]);
    }
    // Climb to the best cell near the curve (the models may miss by a pixel),
    // then fit the peak.
    int bc = cells[best].column, br = cells[best].row;
    double f[3][3];
    for (int climb = 0; climb < 4; ++climb) {
        int nc = bc, nr = br;
        double top = -2;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i) {
                const bool inside = region.Holds(bc + i, br + j, r);
                f[j + 1][i + 1] = inside ? correlate(bc + i, br + j) : -1.0;
                if (f[j + 1][i + 1] > top) top = f[j + 1][i + 1], nc = bc + i, nr = br + j;
            }
        if (nc == bc && nr == br) break;
        if (!region.Holds(nc, nr, r + 1)) break;
        bc = nc, br = nr;
    }
    double dx, dy;
    QuadraticPeak(f, &dx, &dy, &p.coefficient);
    // A peak fitted between whole pixels is drawn towards them. Fitted again
    // on the grid moved by the estimate (all nine windows then interpolated
    // alike), what remains of the offset shrinks each round.
    for (int round = 0; round < 4; ++round) {
        bool inside = true;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i) {
                f[j + 1][i + 1] = correlateAt(bc + dx + i, br + dy + j);
                inside = inside && f[j + 1][i + 1] > -1;
            }
        if (!inside) break;
        double ex, ey;
        QuadraticPeak(f, &ex, &ey, &p.coefficient);
        dx = std::clamp(dx + ex, -1.5, 1.5);
        dy = std::clamp(dy + ey, -1.5, 1.5);
        if (std::fabs(ex) < 0.002 && std::fabs(ey) < 0.002) break;
    }
    // The pick lies off its window's centre pixel; carry that offset over
    // through the models' local mapping between the images.
    const double h = cells[best].height;
    double px, py, qx, qy, sx, sy;
    const double ox = x - (column + 0.5), oy = y - (row + 0.5);
    if (impl_->Project(from, x, y, h, &px, &py) && impl_->Project(from, x + 1, y, h, &qx, &qy) &&
        impl_->Project(from, x, y + 1, h, &sx, &sy)) {
        p.x = bc + 0.5 + dx + (qx - px) * ox + (sx - px) * oy;
        p.y = br + 0.5 + dy + (qy - py) * ox + (sy - py) * oy;
    } else {
        p.x = bc + 0.5 + dx + ox;
        p.y = br + 0.5 + dy + oy;
    }
    const double pick[2] = {x, y}, proposal[2] = {p.x, p.y};
    double ground[3];
    if (!zblk_FileToObject(impl_->info, 0, 1, 1, from == 0 ? pick : proposal, from == 0 ? proposal : pick, ground, 1)) {
        p.error = "the pick and the proposal do not intersect";
        return p;
    }
    p.height = ground[2];
    p.ok = true;
    for (const Cell &c : cells)
        p.cells.push_back({c.column, c.row});
    p.profile = std::move(profile);
    if (p.coefficient < o.minCoefficient) {
        p.doubtful = true;
        p.doubt = Text("the correlation %.2f is below %.2f", p.coefficient, o.minCoefficient);
    } else if (p.secondCoefficient >= 0 && p.secondCoefficient >= p.coefficient - o.uniqueness) {
        p.doubtful = true;
        p.doubt = Text("another peak along the curve (%.2f) comes within %.2f of the best (%.2f)", p.secondCoefficient,
                       o.uniqueness, p.coefficient);
    } else if ((best == 0 || best + 1 == cells.size()) && cells.size() > 1) {
        p.doubtful = true;
        p.doubt =
            "the best match lies at an end of the stretch of curve searched (the search range or the image's edge)";
    }
    return p;
}

StereoFrame StereoAids::Frame(double lon, double lat, double height, const FrameOptions &o) const {
    StereoFrame frame;
    if (o.halfSize < 4 || o.halfSize > 1024 || !(o.groundPixel >= 0) || !(o.heightHalfRange >= 0) ||
        !std::isfinite(lon + lat + height + o.groundPixel + o.heightHalfRange)) {
        frame.error = "the frame's centre, size, ground pixel or height range is out of bounds";
        return frame;
    }
    frame.lon = lon, frame.lat = lat, frame.height = height;
    double perLat, perLon;
    MetersPerDegree(lat, &perLat, &perLon);
    // Each model as x = c + E mE + N mN + dh mH about the centre (E, N metres
    // east and north, dh metres up), fitted over the frame's extent.
    const auto fit = [&](int image, double extent, double heights, double model[2][4], double *residual) {
        double A[2][4][4] = {}, b[2][4] = {};
        const int grid = 5;
        for (int i = 0; i < grid; ++i)
            for (int j = 0; j < grid; ++j)
                for (int k = -1; k <= 1; ++k) {
                    const double e = extent * (2.0 * i / (grid - 1) - 1), nn = extent * (2.0 * j / (grid - 1) - 1),
                                 dh = heights * k;
                    double px, py;
                    if (!impl_->ToImage(image, lon + e / perLon, lat + nn / perLat, height + dh, &px, &py))
                        return false;
                    const double row[4] = {1, e, nn, dh}, value[2] = {px, py};
                    for (int c = 0; c < 2; ++c)
                        for (int u = 0; u < 4; ++u) {
                            b[c][u] += row[u] * value[c];
                            for (int v = 0; v < 4; ++v)
                                A[c][u][v] += row[u] * row[v];
                        }
                }
        for (int c = 0; c < 2; ++c)
            if (!Solve(4, A[c], b[c], model[c])) return false;
        if (!residual) return true;
        *residual = 0;
        const int check = 9;
        for (int i = 0; i < check; ++i)
            for (int j = 0; j < check; ++j)
                for (int k = -2; k <= 2; ++k) {
                    const double e = extent * (2.0 * i / (check - 1) - 1), nn = extent * (2.0 * j / (check - 1) - 1),
                                 dh = heights * k / 2;
                    double px, py;
                    if (!impl_->ToImage(image, lon + e / perLon, lat + nn / perLat, height + dh, &px, &py))
                        return false;
                    const double ax = model[0][0] + e * model[0][1] + nn * model[0][2] + dh * model[0][3];
                    const double ay = model[1][0] + e * model[1][1] + nn * model[1][2] + dh * model[1][3];
                    *residual = std::max(*residual, std::hypot(ax - px, ay - py));
                }
        return true;
    };
    // The ground pixel from a small first fit, then the frame's fit.
    double model[2][2][4];
    double pixel[2];
    for (int i = 0; i < 2; ++i) {
        if (!fit(i, 1.0, 1.0, model[i], nullptr)) {
            frame.error = "the point has no position in both images";
            return frame;
        }
        pixel[i] = 1 / std::sqrt(std::fabs(model[i][0][1] * model[i][1][2] - model[i][0][2] * model[i][1][1]));
    }
    const double gp = o.groundPixel > 0 ? o.groundPixel : std::min(pixel[0], pixel[1]);
    const double extent = o.halfSize * gp;
    const double heights = o.heightHalfRange > 0 ? o.heightHalfRange : extent;
    for (int i = 0; i < 2; ++i) {
        double residual = 0;
        if (!fit(i, extent, heights, model[i], &residual)) {
            frame.error = "the frame reaches beyond a model's domain";
            return frame;
        }
        frame.residual = std::max(frame.residual, residual);
    }
    // Where a metre of height moves a point on the level plane, per image:
    // p = M^-1 mH; the parallax runs along pLeft - pRight.
    double shift[2][2];
    for (int i = 0; i < 2; ++i) {
        const double(&m)[2][4] = model[i];
        const double det = m[0][1] * m[1][2] - m[0][2] * m[1][1];
        shift[i][0] = (m[1][2] * m[0][3] - m[0][2] * m[1][3]) / det;
        shift[i][1] = (m[0][1] * m[1][3] - m[1][1] * m[0][3]) / det;
    }
    const double de = shift[0][0] - shift[1][0], dn = shift[0][1] - shift[1][1];
    const double parallax = std::hypot(de, dn);
    if (!(parallax > 1e-3)) {
        frame.error = "the two images see the point from the same direction: there is no parallax";
        return frame;
    }
    // u along the parallax, v a quarter turn clockwise from it (as rows run
    // down an image whose columns run east).
    const double ue = de / parallax, un = dn / parallax, ve = un, vn = -ue;
    frame.size = 2 * o.halfSize;
    frame.groundPixel = gp;
    frame.parallaxPerMeter = parallax / gp;
    frame.axes = {ue, un, ve, vn};
    const double c = o.halfSize;
    for (int i = 0; i < 2; ++i) {
        const double(&m)[2][4] = model[i];
        std::array<double, 6> &a = frame.toFile[i];
        for (int row = 0; row < 2; ++row) {
            const double du = gp * (m[row][1] * ue + m[row][2] * un), dv = gp * (m[row][1] * ve + m[row][2] * vn);
            a[3 * row] = m[row][0] - c * (du + dv);
            a[3 * row + 1] = du;
            a[3 * row + 2] = dv;
        }
        std::string message;
        if (!AffineInverse(frame.toFile[i].data(), frame.toFrame[i].data(), File(i).c_str(), &message)) {
            frame.error = message;
            return frame;
        }
        // Resample: each frame pixel's centre, bilinear between pixel centres.
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (int corner = 0; corner < 4; ++corner) {
            const double u = corner & 1 ? frame.size : 0, v = corner & 2 ? frame.size : 0;
            const double x = a[0] + u * a[1] + v * a[2], y = a[3] + u * a[4] + v * a[5];
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
        Region region;
        std::vector<double> values(static_cast<size_t>(frame.size) * frame.size,
                                   std::numeric_limits<double>::quiet_NaN());
        if (impl_->Read(i, static_cast<int>(std::floor(x0)) - 2, static_cast<int>(std::floor(y0)) - 2,
                        static_cast<int>(x1 - x0) + 5, static_cast<int>(y1 - y0) + 5, &region)) {
            for (int v = 0; v < frame.size; ++v)
                for (int u = 0; u < frame.size; ++u) {
                    const double x = a[0] + (u + 0.5) * a[1] + (v + 0.5) * a[2] - 0.5;
                    const double y = a[3] + (u + 0.5) * a[4] + (v + 0.5) * a[5] - 0.5;
                    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
                    if (ix < region.x0 || iy < region.y0 || ix + 1 >= region.x0 + region.width ||
                        iy + 1 >= region.y0 + region.height)
                        continue;
                    const double fx = x - ix, fy = y - iy;
                    values[static_cast<size_t>(v) * frame.size + u] =
                        (1 - fy) * ((1 - fx) * region.At(ix, iy) + fx * region.At(ix + 1, iy)) +
                        fy * ((1 - fx) * region.At(ix, iy + 1) + fx * region.At(ix + 1, iy + 1));
                }
        }
        std::vector<double> sorted;
        for (double v : values)
            if (!std::isnan(v)) sorted.push_back(v);
        std::sort(sorted.begin(), sorted.end());
        const double lo = sorted.empty() ? 0 : sorted[sorted.size() * 2 / 100];
        const double hi = sorted.empty() ? 1 : sorted[sorted.size() * 98 / 100];
        const double scale = hi > lo ? 255.0 / (hi - lo) : 0;
        frame.grey[i].resize(values.size());
        for (size_t k = 0; k < values.size(); ++k)
            frame.grey[i][k] =
                std::isnan(values[k])
                    ? 0
                    : static_cast<uint8_t>(std::lround(std::clamp((values[k] - lo) * scale, 0.0, 255.0)));
    }
    frame.ok = true;
    return frame;
}

MarkPicks StereoAids::Mark(const StereoFrame &frame, double u, double v, double height) const {
    MarkPicks mark;
    if (!frame.ok || !std::isfinite(u + v + height)) return mark;
    double perLat, perLon;
    MetersPerDegree(frame.lat, &perLat, &perLon);
    const double c = frame.size / 2.0, du = (u - c) * frame.groundPixel, dv = (v - c) * frame.groundPixel;
    mark.lon = frame.lon + (du * frame.axes[0] + dv * frame.axes[2]) / perLon;
    mark.lat = frame.lat + (du * frame.axes[1] + dv * frame.axes[3]) / perLat;
    mark.height = height;
    for (int i = 0; i < 2; ++i) {
        if (!impl_->ToImage(i, mark.lon, mark.lat, height, &mark.file[i][0], &mark.file[i][1])) return mark;
        const std::array<double, 6> &b = frame.toFrame[i];
        mark.frame[i][0] = b[0] + mark.file[i][0] * b[1] + mark.file[i][1] * b[2];
        mark.frame[i][1] = b[3] + mark.file[i][0] * b[4] + mark.file[i][1] * b[5];
    }
    mark.ok = true;
    return mark;
}

}  // namespace zhg
