// The stereo block: building it from an RPC pair, and ground points through
// both images and back.
#include <cmath>

#include "automation/automation_core.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::ExpectReport;
using gt::Take;

class StereoBlockTest : public gt::GeometryTest {
protected:
    void SetUp() override {
        GeometryTest::SetUp();
        pair_ = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    }
    zt::StereoPair pair_;
};

TEST_F(StereoBlockTest, BuildsABlockOfTheTwoImages) {
    Zerr_Report *err = nullptr;
    Zpho_BlockData *block = CreateBlock(&err, pair_.left.path.c_str(), pair_.right.path.c_str(), nullptr);
    EXPECT_EQ("", Take(&err));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(2, block->imageCount);
    zpho_BlockDataFree(&block, nullptr);
}

TEST_F(StereoBlockTest, AGroundPointGoesToBothImagesAndBack) {
    gt::HandRecord record(2);
    record.BuildBlock(pair_.left.path, pair_.right.path);
    Zpho_ModelInfo *info = record.get()->modelInfo;

    for (auto [lon, lat, height] : {std::tuple{7.0, 45.0, 500.0}, std::tuple{7.0011, 44.9987, 430.5},
                                    std::tuple{6.9985, 45.0016, 612.25}}) {
        double x[2], y[2];
        for (int image = 0; image < 2; ++image) {
            Zerr_Report *err = nullptr;
            ObjectToFile(&err, image, info, lon, lat, height, &x[image], &y[image]);
            ASSERT_EQ("", Take(&err));
            double expectedX = 0, expectedY = 0;
            zt::RpcGroundToFile(image == 0 ? pair_.left.rpc : pair_.right.rpc, lon, lat, height, &expectedX,
                                &expectedY);
            EXPECT_NEAR(expectedX, x[image], 1e-6);
            EXPECT_NEAR(expectedY, y[image], 1e-6);
        }

        double X = 0, Y = 0, Z = 0;
        Zerr_Report *err = nullptr;
        FileToObject(info, 0, x[0], y[0], 1, x[1], y[1], &X, &Y, &Z, &err);
        ASSERT_EQ("", Take(&err));
        EXPECT_NEAR(lon, X, 1e-7);
        EXPECT_NEAR(lat, Y, 1e-7);
        EXPECT_NEAR(height, Z, 1e-3);
    }
}

TEST_F(StereoBlockTest, TheTwoLooksSeeAHeightChangeInOppositeDirections) {
    gt::HandRecord record(2);
    record.BuildBlock(pair_.left.path, pair_.right.path);
    double shift[2];
    for (int image = 0; image < 2; ++image) {
        double x = 0, low = 0, high = 0;
        Zerr_Report *err = nullptr;
        ObjectToFile(&err, image, record.get()->modelInfo, 7.0, 45.0, 500.0, &x, &low);
        ObjectToFile(&err, image, record.get()->modelInfo, 7.0, 45.0, 600.0, &x, &high);
        ASSERT_EQ("", Take(&err));
        shift[image] = high - low;
    }
    EXPECT_GT(std::fabs(shift[0]), 20.0);
    EXPECT_LT(shift[0] * shift[1], 0.0);
}

TEST_F(StereoBlockTest, ABlockOfOneImageIsRefusedEvenWithoutAHostReport) {
    // The right name never reaches the list, so the block holds one image.
    zha::FaultInject("zstr_StringListAppend", 2);
    Zerr_Report *err = nullptr;
    Zpho_BlockData *block = CreateBlock(&err, pair_.left.path.c_str(), pair_.right.path.c_str(), nullptr);
    ExpectReport(&err, "CreateBlock", "Error returned from zpho_BlockCreateFromImages.", false);
    // What was built is handed back for the caller to free.
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(1, block->imageCount);
    zpho_BlockDataFree(&block, nullptr);
}

TEST_F(StereoBlockTest, AnImageWithoutSensorModelIsRefusedWithTheHostsReport) {
    const zt::ImageTruth plain = zt::WriteGeographicImage(dir_.File("plain.tif"), {});
    Zerr_Report *err = nullptr;
    Zpho_BlockData *block = CreateBlock(&err, pair_.left.path.c_str(), plain.path.c_str(), nullptr);
    ExpectReport(&err, "CreateBlock", "Error returned from zpho_BlockCreateFromImages.", true,
                 "zpho_BlockCreateFromImages");
    zpho_BlockDataFree(&block, nullptr);

    zha::FaultInject("zpho_BlockCreateFromImages", 1);
    block = CreateBlock(&err, pair_.left.path.c_str(), pair_.right.path.c_str(), nullptr);
    ExpectReport(&err, "CreateBlock", "Error returned from zpho_BlockCreateFromImages.", true,
                 "zpho_BlockCreateFromImages");
    EXPECT_EQ(nullptr, block);
}

TEST_F(StereoBlockTest, FailedConversionsLeaveTheOutputsAsTheyWere) {
    gt::HandRecord record(2);
    record.BuildBlock(pair_.left.path, pair_.right.path);
    Zpho_ModelInfo *info = record.get()->modelInfo;

    double x = -7, y = -8;
    Zerr_Report *err = nullptr;
    ObjectToFile(&err, 5, info, 7.0, 45.0, 500.0, &x, &y);
    ExpectReport(&err, "ObjectToFile", "Error converting from Object to File.", true, "zblk_ObjectToFile");
    zha::FaultInject("zblk_ObjectToFile", 1);
    ObjectToFile(&err, 1, info, 7.0, 45.0, 500.0, &x, &y);
    // Which image of the pair could not take the point is said.
    EXPECT_TRUE(gt::Take(&err).find("(7, 45, 500) has no position in the right image.") != std::string::npos);
    ObjectToFile(&err, 0, nullptr, 7.0, 45.0, 500.0, &x, &y);
    ExpectReport(&err, "ObjectToFile", "Error converting from Object to File.", true, "zblk_ObjectToFile");
    EXPECT_EQ(-7, x);
    EXPECT_EQ(-8, y);

    double X = -1, Y = -2, Z = -3;
    zha::FaultInject("zblk_FileToObject", 1);
    FileToObject(info, 0, 250.0, 250.0, 1, 250.0, 250.0, &X, &Y, &Z, &err);
    ExpectReport(&err, "FileToObject", "Error converting from File to Object.", false);
    FileToObject(info, 0, 250.0, 250.0, 7, 250.0, 250.0, &X, &Y, &Z, &err);
    ExpectReport(&err, "FileToObject", "Error converting from File to Object.", false);
    EXPECT_EQ(-1, X);
    EXPECT_EQ(-2, Y);
    EXPECT_EQ(-3, Z);

    // Without a report slot the failure is simply dropped.
    ObjectToFile(nullptr, 5, info, 7.0, 45.0, 500.0, &x, &y);
    FileToObject(info, 0, 250.0, 250.0, 7, 250.0, 250.0, &X, &Y, &Z, nullptr);
    EXPECT_EQ(-7, x);
    EXPECT_EQ(-1, X);
}

}  // namespace
