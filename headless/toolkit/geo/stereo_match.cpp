// The correlation proposal of a stereo pair (see stereo_aids.h).
#include <algorithm>
#include <cmath>
#include <limits>

#include "toolkit/geo/stereo_aids_internal.h"

namespace zhg {

namespace {

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

}  // namespace

using stereo::Region;
using stereo::Sides;
using stereo::Text;

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

}  // namespace zhg
