// End to end: zot-sample-data writes the sample data into a fresh folder, each
// of its sessions runs against the built module as zot-host runs it, and the
// reports' figures are compared with figures computed here from the sample
// data's truth (truth/*.csv) and the images' own georeferencing, read with GDAL
// and evaluated here: the picks averaged and taken to the ground through the
// geotransform or by intersecting the RPC rays, differences turned into metres
// on the WGS84 ellipsoid, and the statistics formed from their definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gdal.h>
#include <gdal_alg.h>

#include "app/module_loader.h"
#include "automation/automation_core.h"
#include "fixtures/files.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "session/session.h"
#include "tefile/te_point_loader.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kFoot = 0.3048;  // metres

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines = Split(text, '\n');
    for (std::string &line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    return lines;
}

const std::string kSampleData = ZOT_BINARY_DIR "/zot-sample-data";

// A CSV file with a header line, as rows of named fields.
std::vector<std::map<std::string, std::string>> ReadCsv(const std::string &path) {
    std::vector<std::string> lines = Lines(zt::ReadText(path));
    std::vector<std::map<std::string, std::string>> rows;
    if (lines.empty()) return rows;
    const std::vector<std::string> names = Split(lines[0], ',');
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const std::vector<std::string> fields = Split(lines[i], ',');
        std::map<std::string, std::string> row;
        for (size_t k = 0; k < names.size() && k < fields.size(); ++k) row[names[k]] = fields[k];
        rows.push_back(row);
    }
    return rows;
}

struct TruthPoint {
    std::string id;
    double trueX, trueY, trueZ, teX, teY, teZ, ce90, le90, mensurationPixels;
    std::vector<std::array<double, 2>> picks[2];
};

std::vector<std::array<double, 2>> ParsePicks(const std::string &text) {
    std::vector<std::array<double, 2>> picks;
    for (const std::string &pick : Split(text, ';')) {
        std::array<double, 2> xy{};
        if (std::sscanf(pick.c_str(), "%lf %lf", &xy[0], &xy[1]) == 2) picks.push_back(xy);
    }
    return picks;
}

// WGS84 lengths of one degree at a latitude: along the meridian and along the parallel.
double MetersPerDegreeLatitude(double latDeg) {
    const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2.0 - f);
    const double s = std::sin(latDeg * kPi / 180.0);
    return a * (1.0 - e2) / std::pow(1.0 - e2 * s * s, 1.5) * kPi / 180.0;
}
double MetersPerDegreeLongitude(double latDeg) {
    const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2.0 - f);
    const double s = std::sin(latDeg * kPi / 180.0);
    return a * std::cos(latDeg * kPi / 180.0) / std::sqrt(1.0 - e2 * s * s) * kPi / 180.0;
}

// From (x1, y1) to (x2, y2), in metres: north and east. Geographic
// coordinates use the ellipsoid's radii at the mean latitude.
void GroundDifference(bool geographic, double x1, double y1, double x2, double y2, double *north, double *east) {
    if (!geographic) {
        *north = y2 - y1;
        *east = x2 - x1;
        return;
    }
    const double lat = 0.5 * (y1 + y2);
    *north = (y2 - y1) * MetersPerDegreeLatitude(lat);
    *east = (x2 - x1) * MetersPerDegreeLongitude(lat);
}

struct Image {
    int width = 0, height = 0;
    bool hasGeoTransform = false;
    zt::GeoTransform gt{};
    zt::RpcModel rpc;
};

Image ReadImage(const std::string &path) {
    Image image;
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (!ds) {
        ADD_FAILURE() << "cannot open " << path;
        return image;
    }
    image.width = GDALGetRasterXSize(ds);
    image.height = GDALGetRasterYSize(ds);
    image.hasGeoTransform = GDALGetGeoTransform(ds, image.gt.data()) == CE_None;
    GDALRPCInfoV2 info;
    if (!image.hasGeoTransform && GDALExtractRPCInfoV2(GDALGetMetadata(ds, "RPC"), &info)) {
        zt::RpcModel &m = image.rpc;
        m.lineOff = info.dfLINE_OFF;
        m.sampOff = info.dfSAMP_OFF;
        m.latOff = info.dfLAT_OFF;
        m.lonOff = info.dfLONG_OFF;
        m.heightOff = info.dfHEIGHT_OFF;
        m.lineScale = info.dfLINE_SCALE;
        m.sampScale = info.dfSAMP_SCALE;
        m.latScale = info.dfLAT_SCALE;
        m.lonScale = info.dfLONG_SCALE;
        m.heightScale = info.dfHEIGHT_SCALE;
        std::copy(info.adfLINE_NUM_COEFF, info.adfLINE_NUM_COEFF + 20, m.lineNum.begin());
        std::copy(info.adfLINE_DEN_COEFF, info.adfLINE_DEN_COEFF + 20, m.lineDen.begin());
        std::copy(info.adfSAMP_NUM_COEFF, info.adfSAMP_NUM_COEFF + 20, m.sampNum.begin());
        std::copy(info.adfSAMP_DEN_COEFF, info.adfSAMP_DEN_COEFF + 20, m.sampDen.begin());
    }
    GDALClose(ds);
    return image;
}

std::array<double, 2> Mean(const std::vector<std::array<double, 2>> &picks) {
    std::array<double, 2> sum{0.0, 0.0};
    for (const auto &p : picks) sum = {sum[0] + p[0], sum[1] + p[1]};
    return {sum[0] / picks.size(), sum[1] / picks.size()};
}

// The ground point (longitude, latitude, height) whose projections into both
// images lie nearest the picks (least squares in pixels), by Gauss-Newton on
// metre offsets with a numerical Jacobian.
std::array<double, 3> Intersect(const Image images[2], const std::array<double, 2> picks[2]) {
    std::array<double, 3> g = {images[0].rpc.lonOff, images[0].rpc.latOff, images[0].rpc.heightOff};
    auto residuals = [&](const std::array<double, 3> &p) {
        std::array<double, 4> r{};
        for (int i = 0; i < 2; ++i) {
            double x, y;
            zt::RpcGroundToFile(images[i].rpc, p[0], p[1], p[2], &x, &y);
            r[2 * i] = x - picks[i][0];
            r[2 * i + 1] = y - picks[i][1];
        }
        return r;
    };
    for (int iteration = 0; iteration < 50; ++iteration) {
        const double toLon = 1.0 / MetersPerDegreeLongitude(g[1]), toLat = 1.0 / MetersPerDegreeLatitude(g[1]);
        const std::array<double, 3> metre = {toLon, toLat, 1.0};
        const std::array<double, 4> r = residuals(g);
        double J[4][3];
        for (int k = 0; k < 3; ++k) {
            std::array<double, 3> moved = g;
            moved[k] += 0.01 * metre[k];
            const std::array<double, 4> rk = residuals(moved);
            for (int i = 0; i < 4; ++i) J[i][k] = (rk[i] - r[i]) / 0.01;
        }
        // Normal equations (J'J) d = -J'r, solved by Cramer's rule.
        double N[3][3] = {}, b[3] = {};
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k) {
                b[k] -= J[i][k] * r[i];
                for (int l = 0; l < 3; ++l) N[k][l] += J[i][k] * J[i][l];
            }
        auto det = [](double m[3][3]) {
            return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                   m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                   m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        };
        const double d = det(N);
        double step[3];
        for (int k = 0; k < 3; ++k) {
            double M[3][3];
            for (int i = 0; i < 3; ++i)
                for (int l = 0; l < 3; ++l) M[i][l] = l == k ? b[i] : N[i][l];
            step[k] = det(M) / d;
        }
        for (int k = 0; k < 3; ++k) g[k] += step[k] * metre[k];
        if (std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]) < 1e-6) break;
    }
    return g;
}

// What the tool should make of one point: its errors in metres.
struct PointErrors {
    std::string id;
    double dNorth, dEast, dUp, he, trueHe, mensurationMeters, mensurationPixels, ce90, le90;
};

struct Statistic {
    double mean, stdDev;
};

Statistic Describe(const std::vector<double> &values) {
    double sum = 0.0;
    for (double v : values) sum += v;
    const double mean = sum / values.size();
    double squares = 0.0;
    for (double v : values) squares += (v - mean) * (v - mean);
    return {mean, std::sqrt(squares / values.size())};
}

// The 90 % value of an error with this mean and population standard deviation.
double NinetyPercent(const Statistic &s) {
    const double r = std::fabs(s.mean) / s.stdDev;
    const double k = r > 1.4 ? 1.2815 : 1.6435 - 0.999556 * r + 0.923237 * r * r - 0.282533 * r * r * r;
    return std::fabs(s.mean) + k * s.stdDev;
}

double RootMeanSquare(const std::vector<PointErrors> &points, double PointErrors::*field) {
    double sum = 0.0;
    for (const PointErrors &p : points) sum += p.*field * p.*field;
    return std::sqrt(sum / points.size());
}

// The report's statistics, by the names its lines give them (metres).
std::map<std::string, double> ExpectedStatistics(const std::vector<PointErrors> &points, bool geographic,
                                                 bool stereo) {
    std::vector<double> north, east, up, he;
    for (const PointErrors &p : points) {
        north.push_back(p.dNorth);
        east.push_back(p.dEast);
        up.push_back(p.dUp);
        he.push_back(p.he);
    }
    const Statistic n = Describe(north), e = Describe(east), h = Describe(he);
    const double mensuration = RootMeanSquare(points, &PointErrors::mensurationMeters);
    std::map<std::string, double> s;
    s[geographic ? "Mean latitude error" : "Mean Y error"] = n.mean;
    s[geographic ? "Mean longitude error" : "Mean X error"] = e.mean;
    s[geographic ? "Standard deviation latitude error" : "Standard deviation Y error"] = n.stdDev;
    s[geographic ? "Standard deviation longitude error" : "Standard deviation X error"] = e.stdDev;
    s["Mean horizontal error (average HE)"] = h.mean;
    s["Standard deviation horizontal error"] = h.stdDev;
    const double ce90 = NinetyPercent(h);
    s["90% Circular Error (against T&E)"] = ce90;
    const double teCe90 = RootMeanSquare(points, &PointErrors::ce90);
    s["90% Circular Error (T&E and mensuration error included)"] =
        std::sqrt(ce90 * ce90 + mensuration * mensuration + teCe90 * teCe90);
    if (stereo) {
        const Statistic v = Describe(up);
        const double le90 = NinetyPercent(v), teLe90 = RootMeanSquare(points, &PointErrors::le90);
        s["Mean elevation error (average VE)"] = v.mean;
        s["Standard deviation elevation error"] = v.stdDev;
        s["90% Linear Error (against T&E)"] = le90;
        s["90% Linear Error (T&E and mensuration error included)"] =
            std::sqrt(le90 * le90 + mensuration * mensuration + teLe90 * teLe90);
    }
    return s;
}

struct Report {
    bool feet = false;
    std::map<std::string, double> statistics;
    std::vector<std::string> ids;                        // the points' entries, in order
    std::map<std::string, std::vector<double>> trailer;  // condensed: the last nine fields per ID
};

Report ReadReport(const std::string &path) {
    Report report;
    bool inStatistics = true;
    bool condensed = false;
    const std::vector<std::string> lines = Lines(zt::ReadText(path));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (line == "Distance values are in feet") report.feet = true;
        if (line.rfind("ID,", 0) == 0 || line.rfind("---", 0) == 0) inStatistics = false;
        if (inStatistics) {
            const std::string::size_type colon = line.find(": ");
            if (colon != std::string::npos) report.statistics[line.substr(0, colon)] = std::stod(line.substr(colon + 2));
        } else if (line.rfind("ID,", 0) == 0) {
            condensed = true;
        } else if (condensed && !line.empty()) {
            // A description may hold commas: the ID leads, nine numbers close the line.
            const std::vector<std::string> fields = Split(line, ',');
            report.ids.push_back(fields[0]);
            std::vector<double> &numbers = report.trailer[fields[0]];
            for (size_t k = fields.size() - 9; k < fields.size(); ++k) numbers.push_back(std::stod(fields[k]));
        } else if (line.rfind("|      ID|", 0) == 0 && i + 1 < lines.size()) {
            // The next line starts with the ID, right-aligned in 8 characters.
            const std::string id = lines[i + 1].substr(1, 8);
            report.ids.push_back(id.substr(std::min(id.find_first_not_of(' '), id.size())));
        }
    }
    return report;
}

// Each sample data set's session, run on one freshly written copy of the sample data.
class SampleSessionTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        folder_ = new zt::TempDir;
        std::string output;
        ASSERT_EQ(zt::RunProgram("'" + kSampleData + "' '" + folder_->Path() + "'", &output), 0) << output;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    std::string File(const std::string &name) const { return folder_->File(name); }

    static zt::TempDir *folder_;
};

zt::TempDir *SampleSessionTest::folder_ = nullptr;

TEST_P(SampleSessionTest, ReportsAgreeWithTheTruth) {
    std::map<std::string, std::string> set;
    for (const auto &row : ReadCsv(File("truth/datasets.csv")))
        if (row.at("dataset") == GetParam()) set = row;
    ASSERT_FALSE(set.empty()) << "no data set " << GetParam();
    const bool geographic = set.at("coordinates") == "geographic";
    const bool stereo = !set.at("right_image").empty();

    std::vector<TruthPoint> truth;
    for (const auto &row : ReadCsv(File("truth/points.csv"))) {
        if (row.at("dataset") != GetParam()) continue;
        TruthPoint p;
        p.id = row.at("id");
        p.trueX = std::stod(row.at("true_x"));
        p.trueY = std::stod(row.at("true_y"));
        p.trueZ = std::stod(row.at("true_z"));
        p.teX = std::stod(row.at("te_x"));
        p.teY = std::stod(row.at("te_y"));
        p.teZ = std::stod(row.at("te_z"));
        p.ce90 = std::stod(row.at("ce90"));
        p.le90 = std::stod(row.at("le90"));
        p.mensurationPixels = std::stod(row.at("mensuration_pixels"));
        p.picks[0] = ParsePicks(row.at("left_picks"));
        p.picks[1] = ParsePicks(row.at("right_picks"));
        truth.push_back(p);
    }
    ASSERT_GE(truth.size(), 8u);

    // The session, as zot-host runs it.
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    module.InstallResolver();
    std::ostringstream out, err;
    zses::SessionRunner runner(out, err);
    runner.SetFunctionNames(module.Names());
    const zses::SessionOutcome outcome = runner.RunFile(File(set.at("session")));
    ASSERT_EQ(outcome.status, 0) << out.str() << err.str();
    EXPECT_EQ(outcome.checksFailed, 0);
    EXPECT_EQ(zha::LiveCount("parse"), 0) << "the session left a tool open";

    // Each point's errors, from the truth.
    const Image images[2] = {ReadImage(File(set.at("left_image"))),
                             stereo ? ReadImage(File(set.at("right_image"))) : Image()};
    ASSERT_EQ(images[0].hasGeoTransform, !stereo);
    double pixelMeters = 0.0;  // mono: the image's mean ground size of a pixel
    if (!stereo) {
        // Each corner and the centre with its diagonal neighbour inwards: the
        // root mean square of the two ground components.
        const int w = images[0].width, h = images[0].height;
        const int pairs[5][4] = {{0, 0, 1, 1}, {w, 0, w - 1, 1}, {0, h, 1, h - 1}, {w, h, w - 1, h - 1},
                                 {w / 2, h / 2, w / 2 - 1, h / 2 - 1}};
        for (const auto &q : pairs) {
            double x1, y1, x2, y2, north, east;
            zt::ApplyGeoTransform(images[0].gt, q[0], q[1], &x1, &y1);
            zt::ApplyGeoTransform(images[0].gt, q[2], q[3], &x2, &y2);
            GroundDifference(geographic, x1, y1, x2, y2, &north, &east);
            pixelMeters += std::sqrt((north * north + east * east) * 0.5) / 5.0;
        }
    }
    std::vector<PointErrors> expected;
    double largestPixel = 0.0;  // the ground size of the coarsest pixel dimension, metres
    for (const TruthPoint &t : truth) {
        PointErrors e;
        e.id = t.id;
        double x, y, z;
        if (stereo) {
            const std::array<double, 2> picks[2] = {Mean(t.picks[0]), Mean(t.picks[1])};
            const std::array<double, 3> g = Intersect(images, picks);
            x = g[0];
            y = g[1];
            z = g[2];
        } else {
            const std::array<double, 2> pick = Mean(t.picks[0]);
            zt::ApplyGeoTransform(images[0].gt, pick[0], pick[1], &x, &y);
            z = t.teZ;  // a mono measurement lies at the reference's height
            double n1, e1;
            GroundDifference(geographic, 0.0, t.trueY, images[0].gt[1], t.trueY - images[0].gt[5], &n1, &e1);
            largestPixel = std::max({largestPixel, std::fabs(n1), std::fabs(e1)});
        }
        GroundDifference(geographic, t.teX, t.teY, x, y, &e.dNorth, &e.dEast);
        e.dUp = z - t.teZ;
        e.he = std::hypot(e.dNorth, e.dEast);
        double north, east;
        GroundDifference(geographic, t.teX, t.teY, t.trueX, t.trueY, &north, &east);
        e.trueHe = std::hypot(north, east);
        e.mensurationPixels = t.mensurationPixels;
        e.mensurationMeters = t.mensurationPixels * pixelMeters;
        e.ce90 = t.ce90;
        e.le90 = t.le90;
        expected.push_back(e);
    }

    // The figures agree to the reports' printed precision plus the small
    // differences of independent methods: the tool turns degrees into metres
    // along the mean meridian (1.1e-5 relative here) and stops its stereo
    // intersection at 0.1 mm.
    auto tolerance = [](double metres) { return 2e-4 + 3e-5 * std::fabs(metres); };
    auto checkStatistics = [&](const Report &report, const std::vector<PointErrors> &points, const std::string &name) {
        const std::map<std::string, double> want = ExpectedStatistics(points, geographic, stereo);
        const double unit = report.feet ? kFoot : 1.0;
        EXPECT_EQ(report.statistics.size(), want.size()) << name;
        for (const auto &w : want) {
            const auto got = report.statistics.find(w.first);
            if (got == report.statistics.end()) {
                ADD_FAILURE() << name << " lacks \"" << w.first << "\"";
                continue;
            }
            EXPECT_NEAR(got->second * unit, w.second, tolerance(w.second)) << name + ": " + w.first;
        }
        EXPECT_EQ(report.ids.size(), points.size()) << name;
        for (size_t i = 0; i < points.size() && i < report.ids.size(); ++i) EXPECT_EQ(report.ids[i], points[i].id);
    };

    const Report formatted = ReadReport(File(set.at("report")));
    EXPECT_FALSE(formatted.feet);
    checkStatistics(formatted, expected, set.at("report"));

    // The condensed report in feet, point by point: deltas, mensuration error
    // (pixels), HE and VE.
    const Report condensed = ReadReport(File(set.at("report_feet")));
    EXPECT_TRUE(condensed.feet);
    checkStatistics(condensed, expected, set.at("report_feet"));
    for (const PointErrors &e : expected) {
        const auto got = condensed.trailer.find(e.id);
        if (got == condensed.trailer.end()) continue;  // already reported as missing
        const std::vector<double> &v = got->second;    // measured x3, deltas x3, mensuration, HE, VE
        const double first = geographic ? e.dNorth : e.dEast, second = geographic ? e.dEast : e.dNorth;
        EXPECT_NEAR(v[3] * kFoot, first, tolerance(first)) << e.id + " first delta";
        EXPECT_NEAR(v[4] * kFoot, second, tolerance(second)) << e.id + " second delta";
        EXPECT_NEAR(v[5] * kFoot, e.dUp, tolerance(e.dUp)) << e.id + " delta elevation";
        EXPECT_NEAR(v[6], e.mensurationPixels, 1e-4) << e.id << " mensuration error";
        EXPECT_NEAR(v[7] * kFoot, e.he, tolerance(e.he)) << e.id + " HE";
        EXPECT_NEAR(v[8] * kFoot, e.dUp, tolerance(e.dUp)) << e.id + " VE";

        // The clicks sit where the point truly is: its HE differs from the
        // reference's true error by no more than the click jitter allows
        // (0.25 pixel a pick and axis; 5 sigma of the radial error in a
        // pixel of the coarsest dimension, and for a pair, where the jitter of
        // two images meets, 1.5 m).
        const double jitter = stereo ? 1.5 : 1.25 * largestPixel;
        EXPECT_LE(std::fabs(e.he - e.trueHe), jitter) << e.id;
    }

    // The final report leaves the blunder out.
    std::vector<PointErrors> kept;
    for (const PointErrors &e : expected)
        if (e.id != set.at("dropped_point")) kept.push_back(e);
    ASSERT_EQ(kept.size() + 1, expected.size()) << "dropped point " << set.at("dropped_point");
    const Report final = ReadReport(File(set.at("final_report")));
    EXPECT_FALSE(final.feet);
    checkStatistics(final, kept, set.at("final_report"));
    EXPECT_LT(final.statistics.at("90% Circular Error (against T&E)"),
              formatted.statistics.at("90% Circular Error (against T&E)") / 3)
        << "the blunder dominates CE90 until it is dropped";
}

// What the tool's own writer makes of a sample T&E file reads back identically.
TEST_P(SampleSessionTest, TheTEFileSavedAgainReadsBackIdentically) {
    const bool geographic = GetParam() != "utm";
    std::vector<TEPoint> sample, again;
    TEPointLoader().loadFile(File(GetParam() + "_te.txt").c_str(), geographic, sample);
    zt::TempDir scratch;
    const std::string saved = scratch.File("saved.txt"), savedAgain = scratch.File("again.txt");
    TEPointLoader().saveFile(saved.c_str(), geographic, sample);
    TEPointLoader().loadFile(saved.c_str(), geographic, again);
    ASSERT_EQ(sample.size(), again.size());
    for (size_t i = 0; i < sample.size(); ++i) {
        EXPECT_EQ(sample[i].id, again[i].id);
        EXPECT_EQ(sample[i].description, again[i].description);
        EXPECT_EQ(sample[i].latitude, again[i].latitude);
        EXPECT_EQ(sample[i].longitude, again[i].longitude);
        EXPECT_EQ(sample[i].elevation, again[i].elevation);
        EXPECT_EQ(sample[i].circularError90, again[i].circularError90);
        EXPECT_EQ(sample[i].linearError90, again[i].linearError90);
    }
    TEPointLoader().saveFile(savedAgain.c_str(), geographic, again);
    EXPECT_EQ(zt::ReadText(saved), zt::ReadText(savedAgain));
}

INSTANTIATE_TEST_SUITE_P(SampleData, SampleSessionTest, ::testing::Values("geographic", "utm", "stereo"));

TEST(SampleDataTest, SameOutputOnEveryRunAndClearErrors) {
    zt::TempDir first, second;
    std::string output;
    ASSERT_EQ(zt::RunProgram("'" + kSampleData + "' '" + first.Path() + "/a'", &output), 0) << output;
    ASSERT_EQ(zt::RunProgram("'" + kSampleData + "' '" + second.Path() + "/a'", &output), 0) << output;
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(first.Path() + "/a")) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = std::filesystem::relative(entry.path(), first.Path()).string();
        EXPECT_EQ(zt::ReadText(entry.path().string()), zt::ReadText(second.File(relative))) << relative;
        ++files;
    }
    EXPECT_EQ(files, 12) << "images, T&E files, sessions and truth";

    EXPECT_EQ(zt::RunProgram("'" + kSampleData + "'", &output), 2);
    EXPECT_NE(output.find("Usage: zot-sample-data OUTDIR"), std::string::npos) << output;
    const std::string blocked = first.File("not-a-folder");
    std::ofstream(blocked) << "x";
    EXPECT_EQ(zt::RunProgram("'" + kSampleData + "' '" + blocked + "/sample'", &output), 1);
    EXPECT_NE(output.find("zot-sample-data: cannot create folder " + blocked + "/sample"), std::string::npos)
        << output;
}

// The data the README's figures come from, whatever compiler built the program.
TEST(SampleDataTest, TheSameDataWhateverTheCompiler) {
    zt::TempDir folder;
    std::string output;
    ASSERT_EQ(zt::RunProgram("'" + kSampleData + "' '" + folder.Path() + "'", &output), 0) << output;
    const std::pair<const char *, const char *> firstLines[] = {
        {"geographic_te.txt",
         "G01\t45 5 11.9539\t7 38 30.6151\t245.491\t0.54\t0.98\tBridge deck expansion joint, centre"},
        {"utm_te.txt", "U01\t351274.645\t4986253.811\t284.407\t0.48\t0.67\tManhole cover, centre"},
        {"stereo_te.txt", "S01\t45 1 29.4514\t7 3 1.4959\t492.318\t0.28\t0.53\tPainted arrow tip in car park"},
    };
    for (const auto &file : firstLines) {
        const std::string text = zt::ReadText(folder.File(file.first));
        EXPECT_EQ(file.second, text.substr(0, text.find('\n'))) << file.first;
    }
}

// The hand-written example sessions keep passing.
TEST(ExampleSessionTest, EveryExampleSessionPasses) {
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    module.InstallResolver();
    int sessions = 0;
    for (const auto &entry : std::filesystem::directory_iterator(ZOT_SOURCE_DIR "/examples")) {
        if (entry.path().extension() != ".session") continue;
        std::ostringstream out, err;
        zses::SessionRunner runner(out, err);
        const zses::SessionOutcome outcome = runner.RunFile(entry.path().string());
        EXPECT_EQ(outcome.status, 0) << entry.path() << "\n" << out.str() << err.str();
        EXPECT_GT(outcome.checksPassed, 0) << entry.path();
        ++sessions;
    }
    EXPECT_GE(sessions, 1);
}

}  // namespace
