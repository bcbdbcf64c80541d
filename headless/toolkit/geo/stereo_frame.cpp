// The local stereo frame of a pair and its floating mark (see stereo_aids.h).
#include <algorithm>
#include <cmath>
#include <limits>

#include "toolkit/geo/stereo_aids_internal.h"

namespace zhg {

using stereo::Region;
using stereo::Solve;

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
