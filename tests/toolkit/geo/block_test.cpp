// Stereo blocks on RPC models: building them from image files, and converting
// ground points to both images and image pairs back to the ground.
#include <array>
#include <chrono>
#include <cmath>

#include "toolkit/geo/geo_test_support.h"

namespace zgt {
namespace {

// Metres per degree of latitude and of longitude near 45 degrees, to compare
// ground points in metres.
const double kMetersPerDegreeLat = 111132.95;
const double kMetersPerDegreeLon = 78846.0;

// The least-squares intersection of the rays through two image points,
// computed here: Gauss-Newton on the fixture's own evaluation of both models
// with central-difference derivatives, from the models' centre, until a step
// moves less than a micrometre.
std::array<double, 3> LeastSquaresPoint(const zt::RpcModel &left, const zt::RpcModel &right, const double *leftPoint,
                                        const double *rightPoint) {
    std::array<double, 3> g = {left.lonOff, left.latOff, left.heightOff};
    const double unit[3] = {1.0 / kMetersPerDegreeLon, 1.0 / kMetersPerDegreeLat, 1.0};  // a metre in each
    auto residuals = [&](const std::array<double, 3> &at, double r[4]) {
        zt::RpcGroundToFile(left, at[0], at[1], at[2], &r[0], &r[1]);
        zt::RpcGroundToFile(right, at[0], at[1], at[2], &r[2], &r[3]);
        r[0] -= leftPoint[0];
        r[1] -= leftPoint[1];
        r[2] -= rightPoint[0];
        r[3] -= rightPoint[1];
    };
    for (int iteration = 0; iteration < 50; ++iteration) {
        double r[4], J[4][3];
        residuals(g, r);
        for (int c = 0; c < 3; ++c) {
            std::array<double, 3> plus = g, minus = g;
            plus[c] += unit[c];
            minus[c] -= unit[c];
            double rp[4], rm[4];
            residuals(plus, rp);
            residuals(minus, rm);
            for (int k = 0; k < 4; ++k) J[k][c] = (rp[k] - rm[k]) / 2.0;  // per metre
        }
        // Normal equations by Cramer's rule.
        double N[3][3] = {}, b[3] = {};
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < 4; ++k) b[i] -= J[k][i] * r[k];
            for (int j = 0; j < 3; ++j) {
                for (int k = 0; k < 4; ++k) N[i][j] += J[k][i] * J[k][j];
            }
        }
        auto det = [](const double m[3][3]) {
            return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                   m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                   m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        };
        const double whole = det(N);
        double step = 0;
        for (int c = 0; c < 3; ++c) {
            double M[3][3];
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) M[i][j] = j == c ? b[i] : N[i][j];
            }
            const double meters = det(M) / whole;
            g[c] += meters * unit[c];
            step += meters * meters;
        }
        if (std::sqrt(step) < 1e-6) break;
    }
    return g;
}

// The distance between two ground points in metres.
double MetersBetween(const double *a, const std::array<double, 3> &b) {
    const double east = (a[0] - b[0]) * kMetersPerDegreeLon, north = (a[1] - b[1]) * kMetersPerDegreeLat;
    return std::sqrt(east * east + north * north + (a[2] - b[2]) * (a[2] - b[2]));
}

class BlockTest : public GeoTest {
protected:
    // Writes a pair stored as storage and builds its block; the truth goes to *pair.
    Block PairBlock(zt::RpcStorage storage, zt::StereoPair *pair, const zt::StereoOptions &options = {}) {
        *pair = zt::WriteStereoPair(dir_.Path(), "pair", storage, options);
        std::string report;
        Block block = CreateBlock({pair->left.path, pair->right.path}, &report);
        EXPECT_TRUE(block) << report;
        return block;
    }
    static Zpho_ModelInfo *Info(const Block &block) {
        Zerr_Report *err = nullptr;
        Zpho_ModelInfo *info = zpho_BlockModelInfoGet(block.get(), &err);
        EXPECT_NE(nullptr, info) << Take(err);
        Take(err);
        return info;
    }
};

TEST_F(BlockTest, EveryStorageGivesABlockOfTwoImagesThatMapsGroundLikeTheTruth) {
    const zt::RpcStorage storages[] = {zt::RpcStorage::GeoTiffTag, zt::RpcStorage::RpcTxt, zt::RpcStorage::Rpb,
                                       zt::RpcStorage::Nitf};
    for (zt::RpcStorage storage : storages) {
        zt::StereoPair pair;
        Block block = PairBlock(storage, &pair);
        ASSERT_TRUE(block);
        EXPECT_EQ(2, block->imageCount);
        Zpho_ModelInfo *info = Info(block);
        ASSERT_NE(nullptr, info);
        const double ground[] = {7.0012, 44.9989, 730.0, 6.9979, 45.0017, 260.0};
        double image[4] = {};
        const zt::RpcModel *models[] = {&pair.left.rpc, &pair.right.rpc};
        for (int i = 0; i < 2; ++i) {
            ASSERT_NE(0, zblk_ObjectToFile(info, i, 2, ground, image, 1));
            for (int p = 0; p < 2; ++p) {
                double x = 0, y = 0;
                zt::RpcGroundToFile(*models[i], ground[3 * p], ground[3 * p + 1], ground[3 * p + 2], &x, &y);
                EXPECT_NEAR(x, image[2 * p], 1e-9);
                EXPECT_NEAR(y, image[2 * p + 1], 1e-9);
            }
        }
    }
}

TEST_F(BlockTest, GroundPointsGoToBothImagesAndComeBackAtTheLeastSquaresPoint) {
    // Equal one-metre pixels, and a pair of one- and three-metre pixels; over
    // the whole image and height range, measured exactly and with up to 0.6
    // pixels of error. Intersections are the least-squares point to 0.1 mm.
    zt::StereoOptions mixed;
    mixed.rightPixelMeters = 3.0;
    for (const zt::StereoOptions &options : {zt::StereoOptions{}, mixed}) {
        zt::StereoPair pair;
        Block block = PairBlock(zt::RpcStorage::GeoTiffTag, &pair, options);
        ASSERT_TRUE(block);
        Zpho_ModelInfo *info = Info(block);
        ASSERT_NE(nullptr, info);
        int index = 0;
        for (double lon : {6.9978, 7.0, 7.0022}) {
            for (double lat : {44.9979, 45.0, 45.0021}) {
                for (double height : {20.0, 500.0, 612.5, 960.0}) {
                    const double ground[3] = {lon, lat, height};
                    double left[2], right[2], back[3] = {};
                    ASSERT_NE(0, zblk_ObjectToFile(info, 0, 1, ground, left, 1));
                    ASSERT_NE(0, zblk_ObjectToFile(info, 1, 1, ground, right, 1));
                    ASSERT_NE(0, zblk_FileToObject(info, 0, 1, 1, left, right, back, 1))
                        << lon << " " << lat << " " << height;
                    EXPECT_LT(MetersBetween(back, {lon, lat, height}), 1e-4) << lon << " " << lat << " " << height;
                    const double noise = (index++ % 3) * 0.3;
                    left[0] += noise;
                    right[1] -= noise;
                    ASSERT_NE(0, zblk_FileToObject(info, 0, 1, 1, left, right, back, 1));
                    const std::array<double, 3> expected = LeastSquaresPoint(pair.left.rpc, pair.right.rpc, left, right);
                    EXPECT_LT(MetersBetween(back, expected), 1e-4) << lon << " " << lat << " " << height;
                }
            }
        }
    }
}

TEST_F(BlockTest, NoisyMeasurementsIntersectAtTheLeastSquaresPointNearTheTruth) {
    zt::StereoPair pair;
    Block block = PairBlock(zt::RpcStorage::Nitf, &pair);
    ASSERT_TRUE(block);
    Zpho_ModelInfo *info = Info(block);
    ASSERT_NE(nullptr, info);
    // Three true points, measured in both images with a fifth of a pixel of
    // error, converted in one call.
    const double truth[9] = {6.9983, 44.9991, 340.0, 7.0004, 45.0003, 515.0, 7.0019, 45.0014, 790.0};
    const double noise[4] = {0.2, -0.15, -0.1, 0.2};
    double left[6], right[6];
    double noiseSquares = 0;
    for (int p = 0; p < 3; ++p) {
        zt::RpcGroundToFile(pair.left.rpc, truth[3 * p], truth[3 * p + 1], truth[3 * p + 2], &left[2 * p],
                            &left[2 * p + 1]);
        zt::RpcGroundToFile(pair.right.rpc, truth[3 * p], truth[3 * p + 1], truth[3 * p + 2], &right[2 * p],
                            &right[2 * p + 1]);
        left[2 * p] += noise[0];
        left[2 * p + 1] += noise[1];
        right[2 * p] += noise[2];
        right[2 * p + 1] += noise[3];
    }
    for (double n : noise) noiseSquares += n * n;
    double ground[9] = {};
    ASSERT_NE(0, zblk_FileToObject(info, 0, 1, 3, left, right, ground, 1));
    for (int p = 0; p < 3; ++p) {
        // A fifth of a pixel is a fifth of a metre across, and about half a metre
        // in height at a base-to-height ratio of 0.73.
        EXPECT_NEAR(truth[3 * p], ground[3 * p], 0.5 / 78846.0);
        EXPECT_NEAR(truth[3 * p + 1], ground[3 * p + 1], 0.5 / 111132.0);
        EXPECT_NEAR(truth[3 * p + 2], ground[3 * p + 2], 1.0);
        // The truth misses the measurements by the noise; the intersection,
        // being the least-squares point, can only miss them by less.
        double lx = 0, ly = 0, rx = 0, ry = 0;
        zt::RpcGroundToFile(pair.left.rpc, ground[3 * p], ground[3 * p + 1], ground[3 * p + 2], &lx, &ly);
        zt::RpcGroundToFile(pair.right.rpc, ground[3 * p], ground[3 * p + 1], ground[3 * p + 2], &rx, &ry);
        const double residualSquares = (lx - left[2 * p]) * (lx - left[2 * p]) +
                                       (ly - left[2 * p + 1]) * (ly - left[2 * p + 1]) +
                                       (rx - right[2 * p]) * (rx - right[2 * p]) +
                                       (ry - right[2 * p + 1]) * (ry - right[2 * p + 1]);
        EXPECT_LT(residualSquares, noiseSquares);
    }
}

TEST_F(BlockTest, ModelsAtThe180thMeridianMapPointsOnBothSidesOfIt) {
    struct Case {
        double centerLon;  // of the models; the images reach 0.0015 degrees either side
        double lon;        // as given
        double modelLon;   // the same meridian, as the model's polynomials see it
    };
    const Case cases[] = {
        {179.9995, 179.9990, 179.9990},  {179.9995, -179.9992, 180.0008},  {179.9995, 180.0008, 180.0008},
        {-179.9995, -179.9990, -179.9990}, {-179.9995, 179.9992, -180.0008}, {-179.9995, -180.0008, -180.0008},
    };
    for (const Case &c : cases) {
        zt::StereoOptions options;
        options.centerLon = c.centerLon;
        zt::StereoPair pair;
        Block block = PairBlock(zt::RpcStorage::GeoTiffTag, &pair, options);
        ASSERT_TRUE(block);
        Zpho_ModelInfo *info = Info(block);
        ASSERT_NE(nullptr, info);
        const double ground[3] = {c.lon, 45.0003, 610.0};
        double expected[2], image[2];
        zt::RpcGroundToFile(pair.left.rpc, c.modelLon, ground[1], ground[2], &expected[0], &expected[1]);
        ASSERT_NE(0, zblk_ObjectToFile(info, 0, 1, ground, image, 1)) << c.lon;
        EXPECT_NEAR(expected[0], image[0], 1e-6) << c.lon;
        EXPECT_NEAR(expected[1], image[1], 1e-6) << c.lon;
        // Both images and back: the same meridian, whichever way it is written.
        double right[2], back[3];
        ASSERT_NE(0, zblk_ObjectToFile(info, 1, 1, ground, right, 1));
        ASSERT_NE(0, zblk_FileToObject(info, 0, 1, 1, image, right, back, 1)) << c.lon;
        EXPECT_NEAR(0.0, std::remainder(back[0] - c.lon, 360.0), 1e-8) << c.lon;
        EXPECT_NEAR(ground[1], back[1], 1e-8);
        EXPECT_NEAR(ground[2], back[2], 1e-3);
    }
}

TEST_F(BlockTest, RaysThatDoNotMeetFailQuicklyAndLeaveTheOutputAlone) {
    // Both images look 20 degrees forward: every ray pair is parallel.
    zt::StereoOptions parallel;
    parallel.rightLookDegrees = 20.0;
    zt::StereoPair pair;
    Block block = PairBlock(zt::RpcStorage::GeoTiffTag, &pair, parallel);
    ASSERT_TRUE(block);
    Zpho_ModelInfo *info = Info(block);
    ASSERT_NE(nullptr, info);
    const double ground[3] = {7.0, 45.0, 500.0};
    double left[2], right[2];
    ASSERT_NE(0, zblk_ObjectToFile(info, 0, 1, ground, left, 1));
    ASSERT_NE(0, zblk_ObjectToFile(info, 1, 1, ground, right, 1));
    double out[3] = {-1, -2, -3};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, zblk_FileToObject(info, 0, 1, 1, left, right, out, 1));

    // Far outside the images, and not numbers at all.
    zt::StereoPair good;
    Block normal = PairBlock(zt::RpcStorage::RpcTxt, &good);
    ASSERT_TRUE(normal);
    Zpho_ModelInfo *normalInfo = Info(normal);
    ASSERT_NE(nullptr, normalInfo);
    const double farAway[][4] = {{1e9, 1e9, 1e9, 1e9},      {-3000, 250, -3000, 250}, {250, 9000, 250, 9100},
                                 {NAN, 250, 250, 250},      {250, 250, INFINITY, 250}};
    for (const auto &p : farAway) {
        EXPECT_EQ(0, zblk_FileToObject(normalInfo, 0, 1, 1, p, p + 2, out, 1)) << p[0] << " " << p[1];
    }
    EXPECT_EQ(-1, out[0]);
    EXPECT_EQ(-2, out[1]);
    EXPECT_EQ(-3, out[2]);
    // Generous: each refusal takes microseconds; a hang would take forever.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(BlockTest, ConversionsRefuseBadIndicesCountsAndMissingArrays) {
    zt::StereoPair pair;
    Block block = PairBlock(zt::RpcStorage::GeoTiffTag, &pair);
    ASSERT_TRUE(block);
    Zpho_ModelInfo *info = Info(block);
    ASSERT_NE(nullptr, info);
    const double ground[3] = {7.0, 45.0, 500.0};
    const double image[2] = {250, 250};
    double out[3] = {};
    EXPECT_EQ(0, zblk_ObjectToFile(info, 2, 1, ground, out, 1));
    EXPECT_EQ(0, zblk_ObjectToFile(info, -1, 1, ground, out, 1));
    EXPECT_EQ(0, zblk_ObjectToFile(info, 0, 0, ground, out, 1));
    EXPECT_EQ(0, zblk_ObjectToFile(info, 0, 1, nullptr, out, 1));
    EXPECT_EQ(0, zblk_ObjectToFile(nullptr, 0, 1, ground, out, 1));
    EXPECT_EQ(0, zblk_FileToObject(info, 0, 0, 1, image, image, out, 1));
    EXPECT_EQ(0, zblk_FileToObject(info, 0, 2, 1, image, image, out, 1));
    EXPECT_EQ(0, zblk_FileToObject(info, 0, 1, 1, image, nullptr, out, 1));
    EXPECT_EQ(0, zblk_FileToObject(nullptr, 0, 1, 1, image, image, out, 1));
    EXPECT_EQ(0, zblk_MeanElevationGet(block->block, 2, out));
    EXPECT_EQ(0, zblk_MeanElevationGet(nullptr, 0, out));
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zpho_BlockModelInfoGet(nullptr, &err));
    EXPECT_TRUE(Contains(Take(err), "No block data"));
}

TEST_F(BlockTest, TheMeanElevationIsEachImagesHeightOffset) {
    zt::StereoOptions high;
    high.centerHeight = 1830.0;
    zt::StereoPair pair;
    Block block = PairBlock(zt::RpcStorage::Rpb, &pair, high);
    ASSERT_TRUE(block);
    for (int image = 0; image < 2; ++image) {
        double elevation = 0;
        ASSERT_NE(0, zblk_MeanElevationGet(block->block, image, &elevation));
        EXPECT_EQ(1830.0, elevation);
    }
}

TEST_F(BlockTest, ABlockOfOneImageSaysSoAndCannotIntersect) {
    const zt::ImageTruth image = zt::WriteRpcImage(File("one.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag);
    std::string report;
    Block block = CreateBlock({image.path}, &report);
    ASSERT_TRUE(block) << report;
    EXPECT_EQ(1, block->imageCount);
    Zpho_ModelInfo *info = Info(block);
    const double point[2] = {250, 250};
    double ground[3];
    EXPECT_EQ(0, zblk_FileToObject(info, 0, 1, 1, point, point, ground, 1));
}

TEST_F(BlockTest, ImagesWithoutAUsableModelAreRefusedByName) {
    const zt::ImageTruth left = zt::WriteRpcImage(File("left.tif"), zt::StereoModel({}, 0), zt::RpcStorage::RpcTxt);
    auto shortList = zt::RpcMetadata(zt::StereoModel({}, 1));
    for (auto &kv : shortList) {
        if (kv.first == "LINE_NUM_COEFF") kv.second += " 0.5";  // 21 values
    }
    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {zt::WriteGeographicImage(File("ortho.tif")).path, "has no RPC sensor model"},
        {zt::WriteImageWithRpcMetadata(File("long.tif"), shortList).path, "LINE_NUM_COEFF holds 21 coefficients"},
        {zt::WriteNotAnImage(File("notes.txt")), "not recognized as a supported file format"},
        {File("missing.ntf"), "missing.ntf"},
    };
    for (const Case &c : cases) {
        std::string report;
        Block block = CreateBlock({left.path, c.file}, &report);
        EXPECT_FALSE(block);
        EXPECT_TRUE(Contains(report, c.file));
        EXPECT_TRUE(Contains(report, c.message));
        EXPECT_TRUE(Contains(report, "zpho_BlockCreateFromImages"));
    }
    std::string report;
    EXPECT_FALSE(CreateBlock({}, &report));
    EXPECT_TRUE(Contains(report, "No images given"));
}

TEST_F(BlockTest, TheBlockWantsTheRpcModelInDegreesAndMetersOnAGeographicGround) {
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    Zstr_StringList *names = zstr_StringListAppend(nullptr, pair.left.path.c_str(), nullptr);
    names = zstr_StringListAppend(names, pair.right.path.c_str(), nullptr);
    List owned(names);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zpho_BlockCreateFromImages(0, "dd", "meters", "dd", nullptr, "Frame camera", 0, names, 0, &err));
    EXPECT_TRUE(Contains(Take(err), "Unknown sensor model \"Frame camera\""));
    EXPECT_EQ(nullptr, zpho_BlockCreateFromImages(0, "dd", "feet", "dd", nullptr, "NITF RPC", 0, names, 0, &err));
    EXPECT_TRUE(Contains(Take(err), "degrees and meters"));
    Projection utm = ReadProjection(zt::WriteUtmImage(File("utm.tif")).path);
    ASSERT_TRUE(utm);
    EXPECT_EQ(nullptr,
              zpho_BlockCreateFromImages(0, "dd", "meters", "dd", ParametersOf(utm), "NITF RPC", 0, names, 0, &err));
    EXPECT_TRUE(Contains(Take(err), "geographic ground system"));
    // The left image's own projection is accepted.
    Projection geographic = ReadProjection(pair.left.path);
    ASSERT_TRUE(geographic);
    Block block(zpho_BlockCreateFromImages(0, "dd", "meters", "dd", ParametersOf(geographic), "NITF RPC", 0, names, 0,
                                           &err));
    EXPECT_TRUE(block) << Take(err);
}

}  // namespace
}  // namespace zgt
