// What the stereo aids' sources share (stereo_aids.h): the pair opened for
// them, its pixels read into regions, and small numeric helpers.
#ifndef ZHG_STEREO_AIDS_INTERNAL_H
#define ZHG_STEREO_AIDS_INTERNAL_H

#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "toolkit/geo/geo_internal.h"
#include "toolkit/geo/stereo_aids.h"
#include "zblk.h"
#include "zpho.h"

namespace zhg {

namespace stereo {

// printf-style text of up to four numbers.
std::string Text(const char *format, double a, double b = 0, double c = 0, double d = 0);

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
bool Solve(int n, double A[4][4], double b[4], double x[4]);

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

}  // namespace stereo

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
    bool Read(int image, int x0, int y0, int w, int h, stereo::Region *region) const {
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

}  // namespace zhg

#endif
