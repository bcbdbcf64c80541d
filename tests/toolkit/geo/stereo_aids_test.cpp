// The stereo aids: the epipolar curve against the tool's own intersection,
// correlation proposals and the floating mark on the sample pair (whose truth
// the sample-data program knows), the drawn targets' centres, and refusals.
#include "toolkit/geo/stereo_aids.h"

#include <gdal.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "fixtures/files.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "geometry/geometry.h"

namespace {

// The tool's own block of a pair, and its intersection of two picks.
class ToolBlock {
public:
    ToolBlock(const std::string &left, const std::string &right) {
        Zerr_Report *err = nullptr;
        block_ = CreateBlock(&err, left.c_str(), right.c_str(), nullptr);
        zerr_DeleteErrorReportEx(&err);
        info_ = block_ ? zpho_BlockModelInfoGet(block_, nullptr) : nullptr;
    }
    ~ToolBlock() { zpho_BlockDataFree(&block_, nullptr); }
    // The height where the rays of a left and a right pick meet (NaN: they do not).
    double Height(const double left[2], const double right[2]) const {
        double X = 0, Y = 0, Z = 0;
        Zerr_Report *err = nullptr;
        FileToObject(info_, 0, left[0], left[1], 1, right[0], right[1], &X, &Y, &Z, &err);
        const bool ok = err == nullptr;
        zerr_DeleteErrorReportEx(&err);
        return ok ? Z : NAN;
    }

private:
    Zpho_BlockData *block_ = nullptr;
    Zpho_ModelInfo *info_ = nullptr;
};

TEST(EpipolarCurveTest, EveryPointOfTheCurveIntersectsThePickAtItsHeight) {
    zt::TempDir dir;
    const zt::StereoPair pair = zt::WriteStereoPair(dir.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    std::string error;
    const auto aids = zhg::StereoAids::Open(pair.left.path, pair.right.path, &error);
    ASSERT_TRUE(aids) << error;
    ToolBlock tool(pair.left.path, pair.right.path);
    for (const auto &[from, x, y] :
         {std::tuple{0, 250.0, 250.0}, std::tuple{0, 40.3, 470.9}, std::tuple{1, 123.45, 67.8}}) {
        const zhg::EpipolarCurve curve = aids->Predict(from, x, y, 512.5);
        ASSERT_TRUE(curve.ok) << curve.error;
        EXPECT_EQ(curve.points.front().height, curve.minHeight);
        EXPECT_EQ(curve.points.back().height, curve.maxHeight);
        EXPECT_EQ(curve.points.size(), 101u) << "0 m, a tick every 10 m between, 1000 m";
        ASSERT_TRUE(curve.hasPredicted);
        std::vector<zhg::CurvePoint> points = curve.points;
        points.push_back(curve.predicted);
        for (const zhg::CurvePoint &p : points) {
            const double pick[2] = {x, y}, other[2] = {p.x, p.y};
            EXPECT_NEAR(tool.Height(from == 0 ? pick : other, from == 0 ? other : pick), p.height, 1e-3)
                << "pick in image " << from << " at " << x << " " << y;
        }
    }
}

TEST(StereoAidsTest, RefusesWhatItCannotDo) {
    zt::TempDir dir;
    const zt::StereoPair pair = zt::WriteStereoPair(dir.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    std::string error;
    EXPECT_FALSE(zhg::StereoAids::Open(pair.left.path, dir.File("missing.tif"), &error));
    EXPECT_NE(error.find("missing.tif"), std::string::npos) << error;
    const auto aids = zhg::StereoAids::Open(pair.left.path, pair.right.path, &error);
    ASSERT_TRUE(aids) << error;
    zhg::MatchOptions even;
    even.window = 20;
    const struct {
        int from;
        double x, y;
        zhg::MatchOptions options;
        const char *why;
    } cases[] = {
        {0, 250, 250, even, "odd number of pixels"},
        {0, 3, 250, {}, "does not fit inside the image"},
        {0, 250, 250, {}, "flat"},  // the fixture's images are blank
        {2, 250, 250, {}, "no image of the pair"},
    };
    for (const auto &c : cases) {
        const zhg::Proposal p = aids->Match(c.from, c.x, c.y, 500, c.options);
        EXPECT_FALSE(p.ok);
        EXPECT_NE(p.error.find(c.why), std::string::npos) << p.error;
    }
    EXPECT_FALSE(aids->Predict(0, NAN, 1, 500).ok);
}

// Fills an image's band with value(x, y).
template <typename Value>
void Paint(const zt::ImageTruth &image, Value value) {
    std::vector<uint8_t> pixels(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) pixels[static_cast<size_t>(y) * image.width + x] = value(x, y);
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen(image.path.c_str(), GA_Update);
    ASSERT_TRUE(ds);
    EXPECT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, image.width, image.height, pixels.data(),
                           image.width, image.height, GDT_Byte, 0, 0),
              CE_None);
    GDALClose(ds);
}

uint8_t Noise(int x, int y, unsigned seed) {
    unsigned h = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u ^ seed * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return static_cast<uint8_t>(h >> 24);
}

TEST(StereoAidsTest, SaysWhenAProposalIsDoubtful) {
    const struct {
        const char *what;
        uint8_t (*left)(int, int), (*right)(int, int);
        const char *doubt;
    } cases[] = {
        // Stripes across the epipolar direction repeat every 8 pixels along it.
        {"stripes", [](int, int y) { return static_cast<uint8_t>(128 + 100 * std::sin(y * 0.785398)); },
         [](int, int y) { return static_cast<uint8_t>(128 + 100 * std::sin(y * 0.785398)); }, "another peak"},
        {"unrelated noise", [](int x, int y) { return Noise(x, y, 1); }, [](int x, int y) { return Noise(x, y, 2); },
         "below 0.70"},
    };
    for (const auto &c : cases) {
        zt::TempDir dir;
        const zt::StereoPair pair = zt::WriteStereoPair(dir.Path(), "pair", zt::RpcStorage::GeoTiffTag);
        Paint(pair.left, c.left);
        Paint(pair.right, c.right);
        std::string error;
        const auto aids = zhg::StereoAids::Open(pair.left.path, pair.right.path, &error);
        ASSERT_TRUE(aids) << error;
        const zhg::Proposal p = aids->Match(0, 250.3, 240.6, 500);
        ASSERT_TRUE(p.ok) << c.what << ": " << p.error;
        EXPECT_TRUE(p.doubtful) << c.what;
        EXPECT_NE(p.doubt.find(c.doubt), std::string::npos) << c.what << ": " << p.doubt;
    }
}

// The sample data, written once for the suite, and its stereo truth.
class SamplePairTest : public ::testing::Test {
protected:
    struct Truth {
        std::string id;
        double lon, lat, height, teHeight;
        double pixel[2][2];
    };
    static void SetUpTestSuite() {
        dir_ = new zt::TempDir;
        std::string output;
        ASSERT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + dir_->Path() + "'", &output), 0) << output;
        std::istringstream in(zt::ReadText(dir_->File("truth/points.csv")));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, ',');)
                f.push_back(field);
            if (f[0] != "stereo") continue;
            truth_.push_back({f[1],
                              std::stod(f[2]),
                              std::stod(f[3]),
                              std::stod(f[4]),
                              std::stod(f[7]),
                              {{std::stod(f[13]), std::stod(f[14])}, {std::stod(f[15]), std::stod(f[16])}}});
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        truth_.clear();
    }
    std::unique_ptr<zhg::StereoAids> Open() {
        std::string error;
        auto aids = zhg::StereoAids::Open(dir_->File("stereo_left.tif"), dir_->File("stereo_right.tif"), &error);
        EXPECT_TRUE(aids) << error;
        return aids;
    }
    static zt::TempDir *dir_;
    static std::vector<Truth> truth_;
};
zt::TempDir *SamplePairTest::dir_ = nullptr;
std::vector<SamplePairTest::Truth> SamplePairTest::truth_;

TEST_F(SamplePairTest, ProposalsFindTheTrueConjugates) {
    const auto aids = Open();
    ASSERT_TRUE(aids);
    ASSERT_EQ(truth_.size(), 9u);
    for (int from = 0; from < 2; ++from) {
        int close = 0;
        for (const Truth &t : truth_) {
            // From the true position, searched around the reference elevation.
            const zhg::Proposal p = aids->Match(from, t.pixel[from][0], t.pixel[from][1], t.teHeight);
            ASSERT_TRUE(p.ok) << t.id << ": " << p.error;
            const double miss = std::hypot(p.x - t.pixel[1 - from][0], p.y - t.pixel[1 - from][1]);
            close += miss <= 0.3;
            EXPECT_LT(miss, 1.0) << t.id;
            EXPECT_NEAR(p.height, t.height, 1.5) << t.id;
            EXPECT_GT(p.coefficient, 0.7) << t.id;
            EXPECT_FALSE(p.doubtful) << t.id << ": " << p.doubt;
        }
        EXPECT_GE(close, 8) << "from image " << from;
    }
}

TEST_F(SamplePairTest, TheFloatingMarkAtATargetsHeightPicksItsConjugates) {
    const auto aids = Open();
    ASSERT_TRUE(aids);
    for (const Truth &t : truth_) {
        // A frame centred a little off the target and below it, as an analyst
        // starts from the reference.
        const zhg::StereoFrame frame = aids->Frame(t.lon + 2e-5, t.lat - 1e-5, t.height - 4.0);
        ASSERT_TRUE(frame.ok) << frame.error;
        EXPECT_EQ(frame.size, 128);
        EXPECT_LT(frame.residual, 0.05) << t.id;
        // The mark moved over the target as the left window shows it.
        double u = 64, v = 64;
        zhg::MarkPicks mark;
        for (int step = 0; step < 4; ++step) {
            mark = aids->Mark(frame, u, v, t.height);
            ASSERT_TRUE(mark.ok);
            const auto &b = frame.toFrame[0];
            u += b[0] + t.pixel[0][0] * b[1] + t.pixel[0][1] * b[2] - mark.frame[0][0];
            v += b[3] + t.pixel[0][0] * b[4] + t.pixel[0][1] * b[5] - mark.frame[0][1];
        }
        for (int image = 0; image < 2; ++image)
            EXPECT_LT(std::hypot(mark.file[image][0] - t.pixel[image][0], mark.file[image][1] - t.pixel[image][1]), 0.3)
                << t.id << " image " << image;
        // Parallax is horizontal: the windows show the mark in the same row.
        EXPECT_NEAR(mark.frame[0][1], mark.frame[1][1], frame.residual + 1e-6);
        EXPECT_NEAR(mark.frame[0][0] - mark.frame[1][0], frame.parallaxPerMeter * 4.0, 0.05);
        // Around the mark the two resampled windows show the same ground.
        std::vector<double> a, b;
        for (int dv = -10; dv <= 10; ++dv)
            for (int du = -10; du <= 10; ++du)
                for (int image = 0; image < 2; ++image) {
                    const int col = static_cast<int>(std::floor(mark.frame[image][0])) + du;
                    const int row = static_cast<int>(std::floor(mark.frame[image][1])) + dv;
                    (image == 0 ? a : b).push_back(frame.grey[image][static_cast<size_t>(row) * frame.size + col]);
                }
        EXPECT_GT(zhg::CrossCorrelation(a.data(), b.data(), a.size()), 0.8) << t.id;
    }
}

// Where a target's cross shows: its arms' brightness weighted over rows (or
// columns) clear of the other arm.
std::array<double, 2> TargetCentre(const std::string &image, double x, double y) {
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen(image.c_str(), GA_ReadOnly);
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    std::vector<uint8_t> pixels(81);
    EXPECT_EQ(
        GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, cx - 4, cy - 4, 9, 9, pixels.data(), 9, 9, GDT_Byte, 0, 0),
        CE_None);
    GDALClose(ds);
    double sum[2] = {}, weight[2] = {};
    for (int j = -4; j <= 4; ++j)
        for (int i = -4; i <= 4; ++i) {
            const double w = pixels[static_cast<size_t>(j + 4) * 9 + i + 4] - 25.0;
            if (std::abs(j) >= 2 && std::abs(i) <= 3) sum[0] += w * (cx + i + 0.5), weight[0] += w;
            if (std::abs(i) >= 2 && std::abs(j) <= 3) sum[1] += w * (cy + j + 0.5), weight[1] += w;
        }
    return {sum[0] / weight[0], sum[1] / weight[1]};
}

TEST_F(SamplePairTest, TargetsShowWhereThePointsTrulyAre) {
    const std::map<std::string, std::string> images = {{"geographic", "ortho_geographic.tif"},
                                                       {"utm", "ortho_utm.tif"}};
    std::istringstream in(zt::ReadText(dir_->File("truth/points.csv")));
    std::string line;
    std::getline(in, line);
    int targets = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        const bool stereo = f[0] == "stereo";
        for (int image = 0; image < (stereo ? 2 : 1); ++image) {
            const double x = std::stod(f[13 + 2 * image]), y = std::stod(f[14 + 2 * image]);
            const std::string file = stereo ? (image == 0 ? "stereo_left.tif" : "stereo_right.tif") : images.at(f[0]);
            const std::array<double, 2> seen = TargetCentre(dir_->File(file), x, y);
            EXPECT_NEAR(seen[0], x, 0.1) << f[1] << " in " << file;
            EXPECT_NEAR(seen[1], y, 0.1) << f[1] << " in " << file;
            ++targets;
        }
    }
    EXPECT_EQ(targets, 38);
}

}  // namespace
