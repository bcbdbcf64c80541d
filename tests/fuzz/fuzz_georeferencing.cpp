// Fuzzes image georeferencing through the tool: the input describes an image's
// georeferencing as "KEY: value" lines, the target writes it as GDAL reads it,
// starts a mono tool on the image and takes one point from the image to the
// ground and back through the tool's own conversions.
//
// Input lines:
//   SIZE: W H               the image's size in pixels (default 64 48)
//   POINT: a b [c]          where the point lies: for a geotransform, fractions
//                           of the width and height; for an RPC model,
//                           normalised longitude, latitude and height (each
//                           clamped to -1 .. 1; default 0.25 0.25 0)
//   GEOTRANSFORM: 6 numbers GDAL's geotransform, comma-separated: the image is a
//   SRS: EPSG:n             VRT with that geotransform and coordinate system
// Without GEOTRANSFORM every other line goes, as written, into the image's
// <stem>_RPC.TXT beside a GeoTIFF without georeferencing.
//
// Whatever the input, start-up either succeeds or reports a clear error, and
// closing leaves as many toolkit objects alive as before. Where the input is
// plainly written and the model well conditioned (defined below), the values
// are checked against an evaluation of the geotransform or the RPC model made
// here: the tool's ground position of the image point, and its image position
// of the ground point.
#include <cpl_error.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "fixtures/geo_images.h"
#include "fixtures/tool.h"
#include "fuzz_checks.h"
#include "geometry/geometry.h"
#include "te_reference.h"

namespace {

using zt_fuzz::require;

struct Input {
    int width = 64;
    int height = 48;
    double point[3] = {0.25, 0.25, 0.0};
    bool affine = false;
    std::string geoTransform;
    std::string srs;
    std::string rpcText;
};

std::string Trim(const std::string &text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// Blank-separated decimal words of text; false when any word is something else.
bool Numbers(const std::string &text, std::vector<double> *values) {
    std::vector<std::string> words = zt_ref::Split(Trim(text), ' ', true);
    values->clear();
    for (const std::string &word : words) {
        if (!zt_ref::IsDecimal(word)) return false;
        values->push_back(zt_ref::Number(word));
    }
    return true;
}

Input Parse(const std::string &text) {
    Input input;
    for (const std::string &line : zt_ref::Lines(text)) {
        const size_t colon = line.find(':');
        const std::string key = colon == std::string::npos ? "" : line.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : Trim(line.substr(colon + 1));
        std::vector<double> numbers;
        if (key == "SIZE") {
            if (Numbers(value, &numbers) && numbers.size() == 2 && numbers[0] >= 1 && numbers[0] <= 20000 &&
                numbers[1] >= 1 && numbers[1] <= 20000) {
                input.width = static_cast<int>(numbers[0]);
                input.height = static_cast<int>(numbers[1]);
            }
        } else if (key == "POINT") {
            if (Numbers(value, &numbers) && (numbers.size() == 2 || numbers.size() == 3)) {
                for (size_t i = 0; i < numbers.size(); ++i) {
                    input.point[i] = std::isfinite(numbers[i]) ? std::fmax(-1.0, std::fmin(1.0, numbers[i])) : 0.0;
                }
            }
        } else if (key == "GEOTRANSFORM") {
            input.affine = true;
            input.geoTransform = value;
        } else if (key == "SRS") {
            // Only EPSG codes: GDAL would take other texts as file names or URLs.
            const bool code = value.compare(0, 5, "EPSG:") == 0 && value.size() <= 11 && zt_ref::AllDigits(value, 5);
            input.srs = code ? value : "";
        } else {
            input.rpcText += line + "\n";
        }
    }
    return input;
}

std::string Xml(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\0': break;
            default: out += c;
        }
    }
    return out;
}

void WriteText(const std::string &path, const std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    require(file && std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fclose(file) == 0,
            "a scratch file can be written: " + path);
}

// The image the input describes, written in folder; returns its path.
std::string WriteImage(const Input &input, const zt::TempDir &folder) {
    if (input.affine) {
        const std::string path = folder.File("image.vrt");
        std::string vrt = "<VRTDataset rasterXSize=\"" + std::to_string(input.width) + "\" rasterYSize=\"" +
                          std::to_string(input.height) + "\">\n";
        if (!input.srs.empty()) vrt += "  <SRS>" + input.srs + "</SRS>\n";
        vrt += "  <GeoTransform>" + Xml(input.geoTransform) + "</GeoTransform>\n";
        vrt += "  <VRTRasterBand dataType=\"Byte\" band=\"1\"/>\n</VRTDataset>\n";
        WriteText(path, vrt);
        return path;
    }
    zt::ImageOptions options;
    options.width = input.width;
    options.height = input.height;
    const std::string path = folder.File("image.tif");
    zt::WriteUngeoreferencedImage(path, options);
    WriteText(folder.File("image_RPC.TXT"), input.rpcText);
    return path;
}

// ---- Geotransforms ----

// The six numbers when the text is plainly six comma-separated decimals.
bool PlainGeoTransform(const std::string &text, zt::GeoTransform *gt) {
    const std::vector<std::string> parts = zt_ref::Split(text, ',', false);
    if (parts.size() != 6) return false;
    for (size_t i = 0; i < 6; ++i) {
        const std::string word = Trim(parts[i]);
        if (!zt_ref::IsDecimal(word)) return false;
        (*gt)[i] = zt_ref::Number(word);
        if (!std::isfinite((*gt)[i]) || std::fabs((*gt)[i]) > 1e15) return false;
    }
    return true;
}

double Condition(double a, double b, double c, double d) {
    const double det = a * d - b * c;
    return (a * a + b * b + c * c + d * d) / std::fabs(det);
}

bool CheckAffine(const Input &input, const zt::GeoTransform &gt, Zxfr_XForm *fileToMap) {
    const double cond = Condition(gt[1], gt[2], gt[4], gt[5]);
    if (!(cond <= 1e6) || std::fabs(gt[1] * gt[5] - gt[2] * gt[4]) < 1e-150) return false;
    const double x = (input.point[0] + 1.0) / 2.0 * input.width;
    const double y = (input.point[1] + 1.0) / 2.0 * input.height;
    double X = 0, Y = 0;
    zt::ApplyGeoTransform(gt, x, y, &X, &Y);
    const double scale = std::fabs(gt[0]) + std::fabs(gt[3]) +
                         (std::fabs(gt[1]) + std::fabs(gt[2]) + std::fabs(gt[4]) + std::fabs(gt[5])) *
                             (std::fabs(x) + std::fabs(y));
    const double groundTolerance = 1e-12 * cond * scale + 1e-300;
    const double pixel = std::sqrt(std::fabs(gt[1] * gt[5] - gt[2] * gt[4]));
    const double imageTolerance = 1e-12 * cond * (std::fabs(x) + std::fabs(y) + scale / pixel) + 1e-9;

    const double Z = 0.0;
    double gx = NAN, gy = NAN;
    Zerr_Report *err = nullptr;
    ImageAndGroundZToGroundXY(&err, fileToMap, &x, &y, &Z, &gx, &gy);
    require(!err, "image to ground fails on a well-conditioned geotransform: " + zt::TakeReport(&err));
    require(std::fabs(gx - X) <= groundTolerance && std::fabs(gy - Y) <= groundTolerance,
            "image to ground through the geotransform");
    double ix = NAN, iy = NAN;
    GroundToImage(&err, fileToMap, &X, &Y, &Z, &ix, &iy);
    require(!err, "ground to image fails on a well-conditioned geotransform: " + zt::TakeReport(&err));
    require(std::fabs(ix - x) <= imageTolerance && std::fabs(iy - y) <= imageTolerance,
            "ground to image through the geotransform");
    return true;
}

// A geotransform any tool must take: north up, square-ish pixels of a sensible
// size, on a geographic or UTM system, inside the system's area.
bool PlainlyValid(const Input &input, const zt::GeoTransform &gt) {
    if (gt[2] != 0 || gt[4] != 0 || !(gt[1] > 0) || !(gt[5] < 0)) return false;
    const double right = gt[0] + gt[1] * input.width, bottom = gt[3] + gt[5] * input.height;
    if (input.srs == "EPSG:4326") {
        return gt[1] >= 1e-7 && gt[1] <= 0.01 && -gt[5] >= 1e-7 && -gt[5] <= 0.01 && gt[0] >= -179 &&
               right <= 179 && gt[3] <= 80 && bottom >= -80;
    }
    if (input.srs == "EPSG:32632") {
        return gt[1] >= 0.01 && gt[1] <= 100 && -gt[5] >= 0.01 && -gt[5] <= 100 && gt[0] >= 200000 &&
               right <= 800000 && gt[3] <= 8000000 && bottom >= 1000000;
    }
    return false;
}

// ---- RPC models ----

const char *const kScalarKeys[10] = {"LINE_OFF",   "SAMP_OFF",   "LAT_OFF",   "LONG_OFF",   "HEIGHT_OFF",
                                     "LINE_SCALE", "SAMP_SCALE", "LAT_SCALE", "LONG_SCALE", "HEIGHT_SCALE"};
const char *const kListKeys[4] = {"LINE_NUM_COEFF", "LINE_DEN_COEFF", "SAMP_NUM_COEFF", "SAMP_DEN_COEFF"};
const char *const kExtentKeys[4] = {"MIN_LONG", "MIN_LAT", "MAX_LONG", "MAX_LAT"};

// The model when every line is plainly "KEY: number" with a key of the model,
// none twice. *complete tells whether every key of the model is there.
bool PlainRpc(const std::string &text, zt::RpcModel *m, bool *complete) {
    std::map<std::string, double> values;
    std::set<std::string> known(std::begin(kExtentKeys), std::end(kExtentKeys));
    for (const char *key : kScalarKeys) known.insert(key);
    for (const char *key : kListKeys) {
        for (int i = 1; i <= 20; ++i) known.insert(std::string(key) + "_" + std::to_string(i));
    }
    for (const std::string &line : zt_ref::Lines(text)) {
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) return false;
        const std::string key = line.substr(0, colon), word = line.substr(colon + 2);
        if (!known.count(key) || values.count(key) || !zt_ref::IsDecimal(word)) return false;
        values[key] = zt_ref::Number(word);
        if (!std::isfinite(values[key])) return false;
    }
    double *scalars[10] = {&m->lineOff,   &m->sampOff,   &m->latOff,   &m->lonOff,   &m->heightOff,
                           &m->lineScale, &m->sampScale, &m->latScale, &m->lonScale, &m->heightScale};
    std::array<double, 20> *lists[4] = {&m->lineNum, &m->lineDen, &m->sampNum, &m->sampDen};
    *complete = true;
    for (int i = 0; i < 10; ++i) {
        *complete = *complete && values.count(kScalarKeys[i]);
        *scalars[i] = values[kScalarKeys[i]];
    }
    for (int l = 0; l < 4; ++l) {
        for (int i = 0; i < 20; ++i) {
            const std::string key = std::string(kListKeys[l]) + "_" + std::to_string(i + 1);
            *complete = *complete && values.count(key);
            (*lists[l])[i] = values[key];
        }
    }
    return true;
}

// d(x, y) / d(lon, lat) at a ground point, by central differences of the
// model evaluated here; false where the model cannot be evaluated.
bool Jacobian(const zt::RpcModel &m, double lon, double lat, double h, double J[4]) {
    const double dl = 1e-6 * std::fabs(m.lonScale), dp = 1e-6 * std::fabs(m.latScale);
    double x1, y1, x2, y2, x3, y3, x4, y4;
    zt::RpcGroundToFile(m, lon + dl, lat, h, &x1, &y1);
    zt::RpcGroundToFile(m, lon - dl, lat, h, &x2, &y2);
    zt::RpcGroundToFile(m, lon, lat + dp, h, &x3, &y3);
    zt::RpcGroundToFile(m, lon, lat - dp, h, &x4, &y4);
    J[0] = (x1 - x2) / (2 * dl);
    J[1] = (x3 - x4) / (2 * dp);
    J[2] = (y1 - y2) / (2 * dl);
    J[3] = (y3 - y4) / (2 * dp);
    return std::isfinite(J[0]) && std::isfinite(J[1]) && std::isfinite(J[2]) && std::isfinite(J[3]);
}

// The toolkit finds the ground of an image point by Newton's method from the
// model's centre. The model is well conditioned for the check when, on a grid
// over the box from the centre to the point, its Jacobian is finite, keeps the
// sign of its determinant, has a condition number below 1e4 and stays within
// half its size of the Jacobian at the centre (nearly affine there), so that
// the iteration has one answer to find and finds it.
bool WellConditioned(const zt::RpcModel &m, double lon, double lat, double h, double centreJ[4]) {
    if (!(std::fabs(m.lonScale) <= 180 && std::fabs(m.latScale) <= 90 && std::fabs(m.lonScale) >= 1e-6 &&
          std::fabs(m.latScale) >= 1e-6 && std::fabs(m.lineScale) <= 1e7 && std::fabs(m.sampScale) <= 1e7 &&
          std::fabs(m.heightScale) >= 1e-3)) {
        return false;
    }
    if (!Jacobian(m, m.lonOff, m.latOff, h, centreJ)) return false;
    const double size = std::sqrt(centreJ[0] * centreJ[0] + centreJ[1] * centreJ[1] + centreJ[2] * centreJ[2] +
                                  centreJ[3] * centreJ[3]);
    const double sign = centreJ[0] * centreJ[3] - centreJ[1] * centreJ[2];
    if (!(size > 0) || !(std::fabs(sign) > 0)) return false;
    for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 4; ++j) {
            double J[4];
            const double glon = m.lonOff + (lon - m.lonOff) * i / 4.0, glat = m.latOff + (lat - m.latOff) * j / 4.0;
            if (!Jacobian(m, glon, glat, h, J)) return false;
            const double det = J[0] * J[3] - J[1] * J[2];
            if (det * sign <= 0 || Condition(J[0], J[1], J[2], J[3]) > 1e4) return false;
            double change = 0;
            for (int k = 0; k < 4; ++k) change += (J[k] - centreJ[k]) * (J[k] - centreJ[k]);
            if (std::sqrt(change) > 0.5 * size) return false;
        }
    }
    return true;
}

// Longitude differences taken the short way round.
double LongitudeDifference(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

bool CheckRpc(const Input &input, const zt::RpcModel &m, Zxfr_XForm *fileToMap) {
    const double lon = m.lonOff + input.point[0] * m.lonScale;
    const double lat = m.latOff + input.point[1] * m.latScale;
    const double h = m.heightOff + input.point[2] * m.heightScale;
    double J[4];
    if (!WellConditioned(m, lon, lat, h, J)) return false;
    double x = NAN, y = NAN;
    zt::RpcGroundToFile(m, lon, lat, h, &x, &y);
    if (!std::isfinite(x) || !std::isfinite(y)) return false;

    const double evaluation = 1e-9 * (1 + std::fabs(m.sampOff) + std::fabs(m.lineOff) + std::fabs(m.sampScale) +
                                      std::fabs(m.lineScale));
    Zerr_Report *err = nullptr;
    double ix = NAN, iy = NAN;
    GroundToImage(&err, fileToMap, &lon, &lat, &h, &ix, &iy);
    require(!err, "ground to image fails on a well-conditioned RPC model: " + zt::TakeReport(&err));
    require(std::fabs(ix - x) <= evaluation && std::fabs(iy - y) <= evaluation, "ground to image through the RPC model");

    double glon = NAN, glat = NAN;
    ImageAndGroundZToGroundXY(&err, fileToMap, &x, &y, &h, &glon, &glat);
    require(!err, "image to ground fails on a well-conditioned RPC model: " + zt::TakeReport(&err));
    double rx = NAN, ry = NAN;
    zt::RpcGroundToFile(m, glon, glat, h, &rx, &ry);
    // The toolkit stops within 1e-6 pixel; the ground error follows through
    // the inverse Jacobian (at most its norm times the pixel error).
    const double pixelError = 1e-6 + 2 * evaluation;
    require(std::fabs(rx - x) <= pixelError && std::fabs(ry - y) <= pixelError,
            "image to ground lands on the image point");
    const double det = std::fabs(J[0] * J[3] - J[1] * J[2]);
    const double inverseNorm = std::sqrt(J[0] * J[0] + J[1] * J[1] + J[2] * J[2] + J[3] * J[3]) / det;
    const double groundTolerance = 4 * inverseNorm * pixelError;
    require(std::fabs(LongitudeDifference(glon, lon)) <= groundTolerance && std::fabs(glat - lat) <= groundTolerance,
            "image to ground through the RPC model");
    return true;
}

std::map<std::string, long> LiveObjects() {
    std::map<std::string, long> counts = zha::LiveCounts();
    for (auto it = counts.begin(); it != counts.end();) it = it->second == 0 ? counts.erase(it) : std::next(it);
    return counts;
}

std::map<std::string, long> baseline;

// How many inputs started a tool and how many had their values checked,
// printed at exit so that a run shows its checks were not vacuous.
struct Tally {
    long inputs = 0, started = 0, checked = 0;
    ~Tally() {
        std::fprintf(stderr, "fuzz_georeferencing: %ld inputs, %ld started a tool, %ld had their values checked\n",
                     inputs, started, checked);
    }
} tally;

void Run(const std::string &text) {
    const Input input = Parse(text);
    zt::GeoTransform gt{};
    const bool plainAffine = input.affine && PlainGeoTransform(input.geoTransform, &gt);
    zt::RpcModel model;
    bool complete = false;
    const bool plainRpc = !input.affine && PlainRpc(input.rpcText, &model, &complete);
    {
        zt::ToolSession session;
        const std::string path = WriteImage(input, session.Dir());
        Zerr_Report *err = nullptr;
        const bool started = session.Start({path}, &err);
        const std::string report = zt::TakeReport(&err);
        if (!started) {
            require(!report.empty(), "a refused start-up says why");
            require(!(plainAffine && PlainlyValid(input, gt)), "a plain north-up image is refused: " + report);
        } else {
            require(report.empty(), "a start-up that succeeded reports nothing");
            require(!(plainRpc && !complete), "an image with an incomplete RPC model starts");
            require(!(plainRpc && (model.lineScale == 0 || model.sampScale == 0 || model.latScale == 0 ||
                                   model.lonScale == 0 || model.heightScale == 0)),
                    "an RPC model with a zero scale is taken");
            require(session.Record() != nullptr, "a started tool has its record");
            Zxfr_XForm *fileToMap = session.Record()->fileToMap[0];
            ++tally.started;
            if ((plainAffine && CheckAffine(input, gt, fileToMap)) || (plainRpc && CheckRpc(input, model, fileToMap)))
                ++tally.checked;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    // The first tool session makes what the module keeps for its life.
    Run("SIZE: 8 8\nGEOTRANSFORM: 7, 0.0001, 0, 45, 0, -0.0001\nSRS: EPSG:4326\n");
    baseline = LiveObjects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ++tally.inputs;
    Run(std::string(reinterpret_cast<const char *>(data), size));
    require(LiveObjects() == baseline, "the toolkit objects alive after closing are those alive before");
    return 0;
}
