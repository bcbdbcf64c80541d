// zot-sample-data OUTDIR: writes sample data for the tool into OUTDIR.
//
// Three image sets, each with a T&E file of reference points and a session that
// measures every point with zot-host:
//   geographic  a mono orthoimage in WGS84 longitude/latitude
//   utm         a mono image in WGS 84 / UTM zone 32N
//   stereo      a pair of images with RPC sensor models (GeoTIFF RPC tags)
// plus reports/ (empty; the sessions write their reports there) and truth/, the
// truth behind it all as CSV files (see examples/README.md).
//
// The reference points are the ground truth moved by the errors real reference
// data has: a shift common to the whole set, a random part of decimetres to a
// couple of metres, and one point that is badly off. The sessions click where
// the points truly are in the images (through the geotransform, or the RPC
// ground-to-image functions) with sub-pixel hand jitter, so the reports show
// believable errors. The orthoimages show fields and a survey target at each
// point; the pair is rendered from a textured terrain through its two models,
// with the targets on the ground. A fixed seed makes every run write the same
// bytes.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gdal.h>

#include "fixtures/geo_images.h"

namespace {

const double kPi = 3.14159265358979323846;

// Uniform and normal numbers from the standard engine's raw output, so that the
// sequence does not depend on how a library implements its distributions.
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    double Uniform(double low, double high) {
        return low + (high - low) * ((static_cast<double>(engine_()) + 0.5) / 4294967296.0);
    }
    double Normal(double sigma) {
        const double u1 = Uniform(0.0, 1.0), u2 = Uniform(0.0, 1.0);
        return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
    }
    int Below(int n) { return static_cast<int>(Uniform(0.0, n)); }

private:
    std::mt19937 engine_;
};

// WGS84 radii of curvature, to turn metre offsets into degrees.
const double kSemiMajor = 6378137.0;
const double kFlattening = 1.0 / 298.257223563;

double MetersPerDegreeLatitude(double latDeg) {
    const double e2 = kFlattening * (2.0 - kFlattening);
    const double s = std::sin(latDeg * kPi / 180.0);
    return kSemiMajor * (1.0 - e2) / std::pow(1.0 - e2 * s * s, 1.5) * kPi / 180.0;
}

double MetersPerDegreeLongitude(double latDeg) {
    const double e2 = kFlattening * (2.0 - kFlattening);
    const double s = std::sin(latDeg * kPi / 180.0);
    return kSemiMajor * std::cos(latDeg * kPi / 180.0) / std::sqrt(1.0 - e2 * s * s) * kPi / 180.0;
}

double RoundTo(double value, double step) { return std::round(value / step) * step; }

// An angle as the T&E file states it: degrees, minutes and seconds to 1e-4 s
// (3 mm on the ground), split exactly from a whole number of 1e-4 seconds.
struct Dms {
    bool negative;
    long long degrees, minutes, tenThousandthSeconds;
    double Value() const {
        const double v = degrees + minutes / 60.0 + tenThousandthSeconds / 3.6e7;
        return negative ? -v : v;
    }
    std::string Text() const {
        char text[64];
        std::snprintf(text, sizeof text, "%s%lld %lld %lld.%04lld", negative ? "-" : "", degrees, minutes,
                      tenThousandthSeconds / 10000, tenThousandthSeconds % 10000);
        return text;
    }
};

Dms ToDms(double degrees) {
    const long long total = std::llround(std::fabs(degrees) * 3.6e7);
    return {degrees < 0, total / 36000000, total % 36000000 / 600000, total % 600000};
}

struct Pick {
    int image;  // 0 left, 1 right
    bool zoom;  // picked in the zoomed pane (else the main pane)
    double x, y;
};

struct SamplePoint {
    std::string id, description;
    // Truth: longitude or easting, latitude or northing (map units), height (m).
    double trueX = 0, trueY = 0, trueZ = 0;
    // The reference as its T&E file states it, in the same units.
    double teX = 0, teY = 0, teZ = 0;
    double ce90 = 0, le90 = 0;       // metres
    double mensurationPixels = 0;    // the analyst's estimate typed into the table; 0 types none
    // Where the point truly lies in each image (file coordinates): the
    // target's centre, and in a pair the conjugate positions. Mono: image 0 only.
    double truePixel[2][2] = {};
    std::vector<Pick> picks;
};

struct Dataset {
    std::string name;     // file-name stem: geographic, utm, stereo
    std::string summary;  // one line for the session's heading
    bool geographic = false;
    std::vector<std::string> images;  // file names in the output folder, left then right
    std::vector<SamplePoint> points;
    size_t blunder = 0;  // index of the point whose reference is badly off

    std::string TeFile() const { return name + "_te.txt"; }
    std::string Session() const { return name + ".session"; }
    std::string Report() const { return "reports/" + name + ".txt"; }
    std::string ReportFeet() const { return "reports/" + name + "_feet.csv"; }
    std::string FinalReport() const { return "reports/" + name + "_final.txt"; }
};

// Where the reference data went wrong, in metres: east, north, up.
struct Offset {
    double east, north, up;
};

// A realistic reference error: the common shift plus a random part; the blunder
// is 18 to 28 m away in a random direction.
Offset ReferenceError(Random &rng, const Offset &shift, bool blunder) {
    if (blunder) {
        const double distance = rng.Uniform(18.0, 28.0), bearing = rng.Uniform(0.0, 2.0 * kPi);
        return {distance * std::sin(bearing), distance * std::cos(bearing), shift.up + rng.Normal(0.4)};
    }
    return {shift.east + rng.Normal(0.8), shift.north + rng.Normal(0.8), shift.up + rng.Normal(0.4)};
}

// count positions spread over a width x height area: one per cell of a 4 x 3
// grid (cells chosen at random, listed row by row), kept clear of the cell edges.
std::vector<std::pair<double, double>> SpreadPositions(Random &rng, int count, double width, double height) {
    std::vector<int> cells(12);
    for (int i = 0; i < 12; ++i) cells[i] = i;
    for (int i = 11; i > 0; --i) std::swap(cells[i], cells[rng.Below(i + 1)]);
    cells.resize(count);
    std::sort(cells.begin(), cells.end());
    std::vector<std::pair<double, double>> positions;
    for (int cell : cells) {
        const double cw = width / 4.0, ch = height / 3.0;
        // One draw per statement: the order of a call's arguments is the
        // compiler's choice. The row is drawn first, as the data always had it.
        const double y = (cell / 4 + rng.Uniform(0.2, 0.8)) * ch;
        const double x = (cell % 4 + rng.Uniform(0.2, 0.8)) * cw;
        positions.emplace_back(x, y);
    }
    return positions;
}

// A click near (x, y): hand jitter of 0.25 pixel per axis, to the 0.01 pixel a
// zoomed pane resolves.
Pick Click(Random &rng, int image, bool zoom, double x, double y) {
    return {image, zoom, RoundTo(x + rng.Normal(0.25), 0.01), RoundTo(y + rng.Normal(0.25), 0.01)};
}

void SetReference(SamplePoint *p, const Offset &o, bool geographic) {
    if (geographic) {
        p->teY = ToDms(p->trueY + o.north / MetersPerDegreeLatitude(p->trueY)).Value();
        p->teX = ToDms(p->trueX + o.east / MetersPerDegreeLongitude(p->trueY)).Value();
    } else {
        p->teX = RoundTo(p->trueX + o.east, 0.001);
        p->teY = RoundTo(p->trueY + o.north, 0.001);
    }
    p->teZ = RoundTo(p->trueZ + o.up, 0.001);
}

void SetAccuracy(Random &rng, SamplePoint *p) {
    p->ce90 = RoundTo(rng.Uniform(0.12, 0.6), 0.01);
    p->le90 = RoundTo(p->ce90 * rng.Uniform(1.3, 2.0), 0.01);
}

const char *const kDescriptions[] = {
    "Road centreline intersection",    "Manhole cover, centre",         "Corner of concrete pad, NW",
    "Painted arrow tip in car park",   "Fence post at field corner",    "Culvert headwall, west end",
    "Kerb corner at pedestrian crossing", "Survey nail in footpath",    "Base of lamp post",
    "Building corner, NE",             "Tennis court corner, SW",       "Bridge deck expansion joint, centre",
};
const char *const kBlunderDescription = "Fire hydrant, from an old field book";

// The ground under the stereo pair: a gently tilted surface with a hill and a
// hollow (heights of about 480 to 530 m, slopes under 1 in 8), covered with
// fields and a mottled texture of a few metres' grain, and a survey target
// (a white cross on a dark square, 9.75 m across, along east and north) at
// each reference point. Positions are metres east and north of the pair's
// centre. Everything is a function of position alone.
class Terrain {
public:
    Terrain(double centerLon, double centerLat)
        : lon0_(centerLon), lat0_(centerLat), perLon_(MetersPerDegreeLongitude(centerLat)),
          perLat_(MetersPerDegreeLatitude(centerLat)) {}

    double East(double lon) const { return (lon - lon0_) * perLon_; }
    double North(double lat) const { return (lat - lat0_) * perLat_; }
    double Lon(double east) const { return lon0_ + east / perLon_; }
    double Lat(double north) const { return lat0_ + north / perLat_; }

    double Height(double e, double n) const {
        return 505.0 + 0.03 * e - 0.02 * n + 15.0 * Bump(e - 60.0, n + 40.0, 120.0) -
               8.0 * Bump(e + 110.0, n - 90.0, 90.0);
    }

    void AddTarget(double e, double n) { targets_.emplace_back(e, n); }

    // Whether a target lies within reach metres of (e, n).
    bool NearTarget(double e, double n, double reach) const {
        for (const auto &t : targets_)
            if (std::fabs(e - t.first) < kTargetHalf + reach && std::fabs(n - t.second) < kTargetHalf + reach)
                return true;
        return false;
    }

    // The ground's brightness at (e, n), 0 to 255.
    double Brightness(double e, double n) const {
        for (const auto &t : targets_) {
            const double de = std::fabs(e - t.first), dn = std::fabs(n - t.second);
            if (de < kTargetHalf && dn < kTargetHalf) return de < kArmHalf || dn < kArmHalf ? 240.0 : 25.0;
        }
        // Fields of five tones, and three scales of mottling.
        const int field = static_cast<int>(Hash(static_cast<int>(std::floor((e + 0.4 * n) / 55.0)),
                                                static_cast<int>(std::floor((n - 0.3 * e) / 45.0)), 7) %
                                           5u);
        return 85.0 + 12.0 * field + 26.0 * Noise(e / 2.2, n / 2.2, 1) + 18.0 * Noise(e / 5.0, n / 5.0, 2) +
               12.0 * Noise(e / 13.0, n / 13.0, 3);
    }

private:
    static constexpr double kTargetHalf = 4.875;  // metres
    static constexpr double kArmHalf = 0.375;

    static double Bump(double e, double n, double sigma) { return std::exp(-(e * e + n * n) / (2 * sigma * sigma)); }
    static std::uint32_t Hash(int i, int j, std::uint32_t seed) {
        std::uint32_t h = static_cast<std::uint32_t>(i) * 73856093u ^ static_cast<std::uint32_t>(j) * 19349663u ^
                          seed * 83492791u;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        h ^= h >> 15;
        return h;
    }
    // Smooth noise from -1 to 1 with a grain of one unit.
    static double Noise(double x, double y, std::uint32_t seed) {
        const double fx = std::floor(x), fy = std::floor(y);
        const int i = static_cast<int>(fx), j = static_cast<int>(fy);
        const double u = x - fx, v = y - fy, su = u * u * (3 - 2 * u), sv = v * v * (3 - 2 * v);
        const auto at = [&](int a, int b) { return (Hash(i + a, j + b, seed) & 0xffffu) / 32767.5 - 1.0; };
        return (1 - sv) * ((1 - su) * at(0, 0) + su * at(1, 0)) + sv * ((1 - su) * at(0, 1) + su * at(1, 1));
    }

    double lon0_, lat0_, perLon_, perLat_;
    std::vector<std::pair<double, double>> targets_;
};

// A mono image set: reference points at true pixel positions, one to three
// picks each (the first in the main pane, the others in the zoomed pane).
Dataset MonoDataset(Random &rng, const std::string &name, const std::string &summary, const zt::ImageTruth &image,
                    bool geographic, const std::string &idPrefix, int count, const Offset &shift) {
    Dataset d;
    d.name = name;
    d.summary = summary;
    d.geographic = geographic;
    d.images = {std::filesystem::path(image.path).filename().string()};
    d.blunder = 2 + rng.Below(count - 4);
    const int margin = 40;
    const auto positions = SpreadPositions(rng, count, image.width - 2 * margin, image.height - 2 * margin);
    for (int i = 0; i < count; ++i) {
        SamplePoint p;
        char id[16];
        std::snprintf(id, sizeof id, "%s%02d", idPrefix.c_str(), i + 1);
        p.id = id;
        const bool blunder = static_cast<size_t>(i) == d.blunder;
        // Steps of five through twelve descriptions never repeat one; the ID
        // prefix gives each set its own starting place.
        p.description = blunder ? kBlunderDescription : kDescriptions[(i * 5 + idPrefix[0]) % 12];
        const double x = margin + positions[i].first, y = margin + positions[i].second;
        zt::ApplyGeoTransform(image.geoTransform, x, y, &p.trueX, &p.trueY);
        p.truePixel[0][0] = x;
        p.truePixel[0][1] = y;
        p.trueZ = rng.Uniform(240.0, 420.0);
        SetReference(&p, ReferenceError(rng, shift, blunder), geographic);
        SetAccuracy(rng, &p);
        const int picks = i % 3 == 1 ? 3 : (i % 4 == 2 ? 2 : 1);
        for (int k = 0; k < picks; ++k) p.picks.push_back(Click(rng, 0, k > 0, x, y));
        p.mensurationPixels = picks > 1 ? 0.5 : 1.0;
        d.points.push_back(p);
    }
    return d;
}

// The stereo set: reference points on the terrain within the pair's common
// footprint, picked once in each image (twice in the left image for some).
Dataset StereoDataset(Random &rng, const zt::StereoPair &pair, const zt::StereoOptions &o, const Terrain &terrain,
                      int count, const Offset &shift) {
    Dataset d;
    d.name = "stereo";
    d.summary = "Stereo assessment of an RPC image pair";
    d.geographic = true;
    d.images = {std::filesystem::path(pair.left.path).filename().string(),
                std::filesystem::path(pair.right.path).filename().string()};
    d.blunder = 2 + rng.Below(count - 4);
    const double halfEast = 0.7 * o.width * 0.5 * o.leftPixelMeters;
    const double halfNorth = 0.7 * o.height * 0.5 * o.leftPixelMeters;
    const auto positions = SpreadPositions(rng, count, 2 * halfEast, 2 * halfNorth);
    const int margin = 30;
    for (int i = 0; i < count; ++i) {
        SamplePoint p;
        char id[16];
        std::snprintf(id, sizeof id, "S%02d", i + 1);
        p.id = id;
        const bool blunder = static_cast<size_t>(i) == d.blunder;
        p.description = blunder ? kBlunderDescription : kDescriptions[(i * 7 + 3) % 12];
        // East and north from the footprint's centre; positions run from the
        // north-west corner, as in the mono sets.
        const double east = positions[i].first - halfEast, north = halfNorth - positions[i].second;
        p.trueY = o.centerLat + north / MetersPerDegreeLatitude(o.centerLat);
        p.trueX = o.centerLon + east / MetersPerDegreeLongitude(o.centerLat);
        // The point lies on the terrain. The height once drawn at random is
        // still drawn, so that the reference errors and the clicks after it
        // stay what they were.
        rng.Uniform(430.0, 600.0);
        p.trueZ = RoundTo(terrain.Height(east, north), 0.001);
        double x[2], y[2];
        for (int image = 0; image < 2; ++image) {
            const zt::ImageTruth &truth = image == 0 ? pair.left : pair.right;
            zt::RpcGroundToFile(truth.rpc, p.trueX, p.trueY, p.trueZ, &x[image], &y[image]);
            if (x[image] < margin || y[image] < margin || x[image] > truth.width - margin ||
                y[image] > truth.height - margin) {
                std::fprintf(stderr, "zot-sample-data: point %s falls outside image %d\n", id, image);
                std::exit(1);
            }
            p.truePixel[image][0] = x[image];
            p.truePixel[image][1] = y[image];
        }
        SetReference(&p, ReferenceError(rng, shift, blunder), true);
        SetAccuracy(rng, &p);
        p.picks.push_back(Click(rng, 0, false, x[0], y[0]));
        if (i % 3 == 0) p.picks.push_back(Click(rng, 0, true, x[0], y[0]));
        p.picks.push_back(Click(rng, 1, false, x[1], y[1]));
        d.points.push_back(p);
    }
    return d;
}

// Writes a whole band of 8-bit pixels into an existing image.
bool WritePixels(const std::string &path, std::vector<uint8_t> &pixels, std::string *error) {
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_Update);
    if (!ds) {
        *error = "cannot open " + path + " to paint it";
        return false;
    }
    const int width = GDALGetRasterXSize(ds), height = GDALGetRasterYSize(ds);
    const bool written = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, width, height, pixels.data(), width,
                                      height, GDT_Byte, 0, 0) == CE_None;
    GDALClose(ds);
    if (!written) *error = "cannot paint " + path;
    return written;
}

// How much of pixel [x, x + 1) x [y, y + 1) the rectangle covers.
double Cover(int x, int y, double left, double top, double right, double bottom) {
    const double w = std::max(0.0, std::min(x + 1.0, right) - std::max<double>(x, left));
    const double h = std::max(0.0, std::min(y + 1.0, bottom) - std::max<double>(y, top));
    return w * h;
}

// Gives an orthoimage something to look at: fields of crops, and at each
// point's true position a survey target (a white cross, one pixel wide, on a
// dark square 13 pixels across) centred exactly there and drawn with the share
// of each pixel it covers, so that its visible centre is the true position.
// The pixels are a function of position alone: every run writes the same bytes.
bool PaintScene(const std::string &path, int width, int height,
                const std::vector<std::pair<double, double>> &targets, std::string *error) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Fields of five tones, rows of crops across them, a little grain.
            const int field = ((x + y / 3) / 90 * 7 + (y - x / 4) / 70 * 13) % 5;
            const double rows = std::sin((x + 2.0 * y) / 5.0);
            const unsigned grain = (static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u) % 7;
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(70 + 22 * field + 6 * rows + grain);
        }
    const double half = 6.5, arm = 0.5;
    for (const auto &[tx, ty] : targets) {
        for (int y = static_cast<int>(std::floor(ty - half)); y <= static_cast<int>(ty + half); ++y)
            for (int x = static_cast<int>(std::floor(tx - half)); x <= static_cast<int>(tx + half); ++x) {
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                const double square = Cover(x, y, tx - half, ty - half, tx + half, ty + half);
                const double cross = Cover(x, y, tx - half, ty - arm, tx + half, ty + arm) +
                                     Cover(x, y, tx - arm, ty - half, tx + arm, ty + half) -
                                     Cover(x, y, tx - arm, ty - arm, tx + arm, ty + arm);
                uint8_t &pixel = pixels[static_cast<size_t>(y) * width + x];
                const double value = pixel * (1 - square) + 25.0 * (square - cross) + 240.0 * cross;
                pixel = static_cast<uint8_t>(std::lround(value));
            }
    }
    return WritePixels(path, pixels, error);
}

// The ground point seen at file position (x, y) at height h through m, by
// Newton's method on the model's ground-to-image functions.
void FileToGround(const zt::RpcModel &m, double x, double y, double h, double *lon, double *lat) {
    double g[2] = {m.lonOff, m.latOff};
    const double step = 1e-6;  // degrees
    for (int iteration = 0; iteration < 30; ++iteration) {
        double fx, fy, ex, ey, nx, ny;
        zt::RpcGroundToFile(m, g[0], g[1], h, &fx, &fy);
        if (std::fabs(fx - x) < 1e-9 && std::fabs(fy - y) < 1e-9) break;
        zt::RpcGroundToFile(m, g[0] + step, g[1], h, &ex, &ey);
        zt::RpcGroundToFile(m, g[0], g[1] + step, h, &nx, &ny);
        const double a = (ex - fx) / step, b = (nx - fx) / step, c = (ey - fy) / step, d = (ny - fy) / step;
        const double det = a * d - b * c;
        g[0] -= (d * (fx - x) - b * (fy - y)) / det;
        g[1] -= (a * (fy - y) - c * (fx - x)) / det;
    }
    *lon = g[0];
    *lat = g[1];
}

// Renders an image of the pair from the terrain through its model: each pixel
// is the mean of the ground's brightness at samples spread over it (2 x 2, and
// 16 x 16 near a target so that its edges fall where the ground puts them). The
// ground seen at a sample is interpolated between exact ray-terrain
// intersections every 8 pixels.
bool RenderFromTerrain(const zt::ImageTruth &image, const Terrain &terrain, std::string *error) {
    const int width = image.width, height = image.height, step = 8;
    const int nodesX = width / step + 2, nodesY = height / step + 2;
    std::vector<double> east(static_cast<size_t>(nodesX) * nodesY), north(east.size());
    for (int j = 0; j < nodesY; ++j)
        for (int i = 0; i < nodesX; ++i) {
            double h = terrain.Height(0, 0), lon = 0, lat = 0;
            for (int iteration = 0; iteration < 50; ++iteration) {
                FileToGround(image.rpc, i * step, j * step, h, &lon, &lat);
                const double next = terrain.Height(terrain.East(lon), terrain.North(lat));
                const bool done = std::fabs(next - h) < 1e-7;
                h = next;
                if (done) break;
            }
            east[static_cast<size_t>(j) * nodesX + i] = terrain.East(lon);
            north[static_cast<size_t>(j) * nodesX + i] = terrain.North(lat);
        }
    const auto ground = [&](double x, double y, double *e, double *n) {
        const int i = std::min(static_cast<int>(x / step), nodesX - 2);
        const int j = std::min(static_cast<int>(y / step), nodesY - 2);
        const double u = x / step - i, v = y / step - j;
        const size_t k = static_cast<size_t>(j) * nodesX + i;
        *e = (1 - v) * ((1 - u) * east[k] + u * east[k + 1]) +
             v * ((1 - u) * east[k + nodesX] + u * east[k + nodesX + 1]);
        *n = (1 - v) * ((1 - u) * north[k] + u * north[k + 1]) +
             v * ((1 - u) * north[k + nodesX] + u * north[k + nodesX + 1]);
    };
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double e, n;
            ground(x + 0.5, y + 0.5, &e, &n);
            const int samples = terrain.NearTarget(e, n, 2.0) ? 16 : 2;
            double sum = 0;
            for (int b = 0; b < samples; ++b)
                for (int a = 0; a < samples; ++a) {
                    ground(x + (a + 0.5) / samples, y + (b + 0.5) / samples, &e, &n);
                    sum += terrain.Brightness(e, n);
                }
            pixels[static_cast<size_t>(y) * width + x] =
                static_cast<uint8_t>(std::lround(std::clamp(sum / (samples * samples), 0.0, 255.0)));
        }
    return WritePixels(image.path, pixels, error);
}

// Text output that remembers whether every write succeeded.
class TextFile {
public:
    explicit TextFile(const std::string &path) : path_(path), out_(path, std::ios::binary) {}
    std::ostream &Out() { return out_; }
    bool Finish(std::string *error) {
        out_.close();
        if (out_.fail()) *error = "cannot write " + path_ + ": " + std::strerror(errno);
        return !out_.fail();
    }

private:
    std::string path_;
    std::ofstream out_;
};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The T&E file: ID, latitude and longitude (D M S) or X and Y, elevation, CE90,
// LE90 and description, TAB-separated.
bool WriteTeFile(const std::string &folder, const Dataset &d, std::string *error) {
    TextFile file(folder + "/" + d.TeFile());
    for (const SamplePoint &p : d.points) {
        std::ostream &out = file.Out();
        out << p.id << '\t';
        if (d.geographic)
            out << ToDms(p.teY).Text() << '\t' << ToDms(p.teX).Text() << '\t';
        else
            out << Fixed(p.teX, 3) << '\t' << Fixed(p.teY, 3) << '\t';
        out << Fixed(p.teZ, 3) << '\t' << Fixed(p.ce90, 2) << '\t' << Fixed(p.le90, 2) << '\t' << p.description
            << '\n';
    }
    return file.Finish(error);
}

bool WriteSession(const std::string &folder, const Dataset &d, std::string *error) {
    TextFile file(folder + "/" + d.Session());
    std::ostream &out = file.Out();
    const bool stereo = d.images.size() == 2;
    const SamplePoint &blunder = d.points[d.blunder];
    out << "# " << d.summary << ", written by zot-sample-data.\n"
        << "# Run it with:  zot-host run FOLDER/" << d.Session() << "\n"
        << "# (file names in it are relative to its folder).\n"
        << "# Every reference point is measured where the image shows it (the clicks\n"
        << "# carry a little hand jitter), then accepted; the tool moves on to the next\n"
        << "# row by itself.\n"
        << "start " << d.images[0] << (stereo ? " " + d.images[1] : "") << "\n"
        << "open " << d.TeFile() << "\n"
        << "expect rows " << d.points.size() << "\n"
        << "autodrive on\n\n";
    for (const SamplePoint &p : d.points) {
        out << "# " << p.id << ": " << p.description << "\n";
        for (const Pick &k : p.picks)
            out << "click " << (k.image == 0 ? "left " : "right ") << (k.zoom ? "zoom " : "main ") << Fixed(k.x, 2)
                << ' ' << Fixed(k.y, 2) << "\n";
        out << "accept\n";
    }
    out << "expect row " << d.points.size() << "\n\n";
    if (!stereo) {
        out << "# The analyst's estimate of each pointing error, in pixels: half a pixel\n"
            << "# where several picks agreed, a pixel where one pick had to do.\n";
        for (size_t i = 0; i < d.points.size(); ++i)
            out << "edit " << i + 1 << " \"Mensuration Error (pixels)\" " << Fixed(d.points[i].mensurationPixels, 1)
                << "\n";
        out << "\n";
    }
    out << "show table\nshow labels\n\n"
        << "# The reports: formatted in metres, then comma-separated in feet.\n"
        << "format formatted\nreport " << d.Report() << "\nexpect file " << d.Report() << " exists\n"
        << "units feet\nformat condensed\nreport " << d.ReportFeet() << "\nexpect file " << d.ReportFeet()
        << " exists\nunits meters\n\n"
        << "# " << blunder.id << " stands far from where the image shows it: its reference is wrong,\n"
        << "# not the image. Drop it; closing then offers a report on the other points.\n"
        << "delete " << d.blunder + 1 << "\n"
        << "expect rows " << d.points.size() - 1 << "\n"
        << "format formatted\n"
        << "answer yes\nanswer file " << d.FinalReport() << "\n"
        << "close\n"
        << "expect question \"Would you like to create a report?\"\n"
        << "expect file " << d.FinalReport() << " exists\n"
        << "expect tools 0\n";
    return file.Finish(error);
}

std::string PickList(const SamplePoint &p, int image) {
    std::string text;
    for (const Pick &k : p.picks) {
        if (k.image != image) continue;
        if (!text.empty()) text += ';';
        text += Fixed(k.x, 2) + ' ' + Fixed(k.y, 2);
    }
    return text;
}

bool WriteTruth(const std::string &folder, const std::vector<Dataset> &sets, std::string *error) {
    TextFile datasets(folder + "/truth/datasets.csv");
    datasets.Out() << "dataset,coordinates,session,te_file,left_image,right_image,report,report_feet,"
                      "final_report,dropped_point\n";
    for (const Dataset &d : sets)
        datasets.Out() << d.name << ',' << (d.geographic ? "geographic" : "map") << ',' << d.Session() << ','
                       << d.TeFile() << ',' << d.images[0] << ',' << (d.images.size() > 1 ? d.images[1] : "")
                       << ',' << d.Report() << ',' << d.ReportFeet() << ',' << d.FinalReport() << ','
                       << d.points[d.blunder].id << '\n';
    if (!datasets.Finish(error)) return false;

    TextFile points(folder + "/truth/points.csv");
    points.Out() << "dataset,id,true_x,true_y,true_z,te_x,te_y,te_z,ce90,le90,mensuration_pixels,left_picks,"
                    "right_picks,true_left_x,true_left_y,true_right_x,true_right_y\n";
    for (const Dataset &d : sets) {
        const int decimals = d.geographic ? 12 : 3;
        const bool stereo = d.images.size() == 2;
        for (const SamplePoint &p : d.points)
            points.Out() << d.name << ',' << p.id << ',' << Fixed(p.trueX, decimals) << ','
                         << Fixed(p.trueY, decimals) << ',' << Fixed(p.trueZ, 3) << ',' << Fixed(p.teX, decimals) << ','
                         << Fixed(p.teY, decimals) << ',' << Fixed(p.teZ, 3) << ',' << Fixed(p.ce90, 2) << ','
                         << Fixed(p.le90, 2) << ',' << Fixed(p.mensurationPixels, 1) << ',' << PickList(p, 0)
                         << ',' << PickList(p, 1) << ',' << Fixed(p.truePixel[0][0], 4) << ','
                         << Fixed(p.truePixel[0][1], 4) << ','
                         << (stereo ? Fixed(p.truePixel[1][0], 4) + ',' + Fixed(p.truePixel[1][1], 4) : ",") << '\n';
    }
    return points.Finish(error);
}

bool MakeFolder(const std::string &path, std::string *error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code || !std::filesystem::is_directory(path)) {
        *error = "cannot create folder " + path + (code ? ": " + code.message() : "");
        return false;
    }
    return true;
}

int Usage(std::FILE *to) {
    std::fprintf(to,
                 "Usage: zot-sample-data OUTDIR\n\n"
                 "Writes sample images, T&E files, sessions and their truth into OUTDIR\n"
                 "(created when missing; files of the same names are replaced). Run a\n"
                 "session with:  zot-host run OUTDIR/geographic.session\n");
    return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) return Usage(stdout);
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') return Usage(stderr);
    const std::string folder = argv[1];
    std::string error;
    if (!MakeFolder(folder, &error) || !MakeFolder(folder + "/reports", &error) ||
        !MakeFolder(folder + "/truth", &error)) {
        std::fprintf(stderr, "zot-sample-data: %s\n", error.c_str());
        return 1;
    }

    Random rng(20240611u);
    std::vector<Dataset> sets;

    zt::ImageOptions ortho;
    ortho.width = 1400;
    ortho.height = 1000;
    ortho.pixelSize = 5e-6;  // degrees: 0.56 m north-south, 0.39 m east-west
    ortho.originX = 7.6412;
    ortho.originY = 45.0874;
    const zt::ImageTruth geographic = zt::WriteGeographicImage(folder + "/ortho_geographic.tif", ortho);
    sets.push_back(MonoDataset(rng, "geographic", "Mono assessment of a geographic orthoimage", geographic, true,
                               "G", 10, {0.35, -0.25, 0.1}));

    zt::ImageOptions utmOptions;
    utmOptions.width = 1600;
    utmOptions.height = 1200;
    utmOptions.pixelSize = 0.5;  // metres
    utmOptions.originX = 351200.0;
    utmOptions.originY = 4986400.0;
    const zt::ImageTruth utm = zt::WriteUtmImage(folder + "/ortho_utm.tif", utmOptions);
    sets.push_back(MonoDataset(rng, "utm", "Mono assessment of a UTM image", utm, false, "U", 10,
                               {-0.4, 0.3, -0.2}));

    zt::StereoOptions pairOptions;
    pairOptions.width = 800;
    pairOptions.height = 800;
    pairOptions.leftPixelMeters = 0.75;
    pairOptions.rightPixelMeters = 0.8;
    pairOptions.centerLon = 7.0521;
    pairOptions.centerLat = 45.0236;
    pairOptions.centerHeight = 510.0;
    const zt::StereoPair pair = zt::WriteStereoPair(folder, "stereo", zt::RpcStorage::GeoTiffTag, pairOptions);
    Terrain terrain(pairOptions.centerLon, pairOptions.centerLat);
    sets.push_back(StereoDataset(rng, pair, pairOptions, terrain, 9, {0.3, 0.2, -0.6}));

    // The targets where the points truly are: through the geotransform in the
    // orthoimages; on the ground under the pair, which both images see
    // through their RPC models.
    const zt::ImageTruth *orthos[] = {&geographic, &utm};
    for (int set = 0; set < 2 && error.empty(); ++set) {
        std::vector<std::pair<double, double>> targets;
        for (const SamplePoint &p : sets[static_cast<size_t>(set)].points)
            targets.emplace_back(p.truePixel[0][0], p.truePixel[0][1]);
        PaintScene(orthos[set]->path, orthos[set]->width, orthos[set]->height, targets, &error);
    }
    for (const SamplePoint &p : sets[2].points) terrain.AddTarget(terrain.East(p.trueX), terrain.North(p.trueY));
    for (const zt::ImageTruth *image : {&pair.left, &pair.right})
        if (error.empty()) RenderFromTerrain(*image, terrain, &error);
    for (const Dataset &d : sets)
        if (!error.empty() || !WriteTeFile(folder, d, &error) || !WriteSession(folder, d, &error)) break;
    if (error.empty()) WriteTruth(folder, sets, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "zot-sample-data: %s\n", error.c_str());
        return 1;
    }
    std::printf("Sample data written to %s:\n", folder.c_str());
    for (const Dataset &d : sets)
        std::printf("  %-11s %zu reference points in %s, session %s\n", d.name.c_str(), d.points.size(),
                    d.TeFile().c_str(), d.Session().c_str());
    return 0;
}
