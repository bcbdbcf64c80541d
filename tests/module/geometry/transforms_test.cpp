// Ground/image conversions through an image's file-to-map transform: the
// direct (elevation-aware) path of RPC images and the planar fallback of
// affine ones.
#include <cmath>

#include "automation/automation_core.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::ExpectReport;
using gt::Take;

class TransformsTest : public gt::GeometryTest {
protected:
    // A UTM image with 2 m pixels, georeferenced into the record.
    Zxfr_XForm *AffineTransform(gt::HandRecord *record) {
        zt::ImageOptions options;
        options.width = 40;
        options.height = 30;
        options.pixelSize = 2.0;
        affine_ = zt::WriteUtmImage(dir_.File("utm.tif"), options);
        record->Georeference(0, affine_.path);
        return record->get()->fileToMap[0];
    }
    // The left image of the synthetic stereo pair, known only through its RPCs.
    Zxfr_XForm *RpcTransform(gt::HandRecord *record) {
        rpc_ = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag).left;
        record->Georeference(0, rpc_.path);
        return record->get()->fileToMap[0];
    }

    zt::ImageTruth affine_;
    zt::ImageTruth rpc_;
};

TEST_F(TransformsTest, AffineImagesConvertThroughThePlanarFallbackForAnyElevation) {
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = AffineTransform(&record);
    const auto before = gt::LiveObjects();
    const int matrices = zha::FaultCalls("zgda_BaseDataCreate");
    for (auto [x, y] : {std::pair{0.0, 0.0}, std::pair{17.25, 3.5}, std::pair{40.0, 30.0}}) {
        double X = 0, Y = 0;
        zt::ApplyGeoTransform(affine_.geoTransform, x, y, &X, &Y);
        for (double z : {-400.0, 0.0, 8848.0}) {
            double imageX = -1, imageY = -1, groundX = -1, groundY = -1;
            Zerr_Report *err = nullptr;
            GroundToImage(&err, fileToMap, &X, &Y, &z, &imageX, &imageY);
            ASSERT_EQ("", Take(&err));
            EXPECT_NEAR(x, imageX, 1e-9);
            EXPECT_NEAR(y, imageY, 1e-9);
            ImageAndGroundZToGroundXY(&err, fileToMap, &imageX, &imageY, &z, &groundX, &groundY);
            ASSERT_EQ("", Take(&err));
            EXPECT_NEAR(X, groundX, 1e-9);
            EXPECT_NEAR(Y, groundY, 1e-9);
        }
    }
    EXPECT_GT(zha::FaultCalls("zgda_BaseDataCreate"), matrices) << "the fallback carries points in a matrix";
    EXPECT_EQ(before, gt::LiveObjects()) << "the fallback released its matrices and inverses";
}

TEST_F(TransformsTest, RpcImagesConvertDirectlyAndDependOnElevation) {
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = RpcTransform(&record);
    const int matrices = zha::FaultCalls("zgda_BaseDataCreate");
    const double lon = 7.0005, lat = 44.9995;
    for (double z : {400.0, 500.0, 600.0}) {
        double imageX = 0, imageY = 0, expectedX = 0, expectedY = 0;
        Zerr_Report *err = nullptr;
        GroundToImage(&err, fileToMap, &lon, &lat, &z, &imageX, &imageY);
        ASSERT_EQ("", Take(&err));
        zt::RpcGroundToFile(rpc_.rpc, lon, lat, z, &expectedX, &expectedY);
        EXPECT_NEAR(expectedX, imageX, 1e-6);
        EXPECT_NEAR(expectedY, imageY, 1e-6);

        double groundX = 0, groundY = 0;
        ImageAndGroundZToGroundXY(&err, fileToMap, &imageX, &imageY, &z, &groundX, &groundY);
        ASSERT_EQ("", Take(&err));
        double backX = 0, backY = 0;
        zt::RpcGroundToFile(rpc_.rpc, groundX, groundY, z, &backX, &backY);
        EXPECT_NEAR(imageX, backX, 1e-6);
        EXPECT_NEAR(imageY, backY, 1e-6);
    }
    // A hundred metres of height move the point by tens of pixels.
    double lowX = 0, lowY = 0, highX = 0, highY = 0;
    const double low = 400.0, high = 500.0;
    Zerr_Report *err = nullptr;
    GroundToImage(&err, fileToMap, &lon, &lat, &low, &lowX, &lowY);
    GroundToImage(&err, fileToMap, &lon, &lat, &high, &highX, &highY);
    EXPECT_GT(std::hypot(highX - lowX, highY - lowY), 20.0);
    EXPECT_EQ(matrices, zha::FaultCalls("zgda_BaseDataCreate")) << "the fallback is not used";
}

TEST_F(TransformsTest, AFailedDirectMappingIsReportedAtOnceWithoutTheFallback) {
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = AffineTransform(&record);
    const double X = 350010.0, Y = 4984990.0, z = 0.0;
    double outX = 123, outY = 456;
    const int matrices = zha::FaultCalls("zgda_BaseDataCreate");

    zha::FaultInject("zxfr_GroundToImage", 1);
    Zerr_Report *err = nullptr;
    GroundToImage(&err, fileToMap, &X, &Y, &z, &outX, &outY);
    ExpectReport(&err, "GroundToImage", "Error performing ground to image", true, "zxfr_GroundToImage");

    zha::FaultInject("zxfr_ImageAndGroundZToGroundXY", 1);
    ImageAndGroundZToGroundXY(&err, fileToMap, &X, &Y, &z, &outX, &outY);
    ExpectReport(&err, "ImageAndGroundZToGroundXY", "Error performing image to ground.", true,
                 "zxfr_ImageAndGroundZToGroundXY");

    EXPECT_EQ(matrices, zha::FaultCalls("zgda_BaseDataCreate"));
    EXPECT_EQ(123, outX);
    EXPECT_EQ(456, outY);
}

// A failure inside the planar fallback: its message, whether the outputs were
// already written, and that the matrix and the inverse are gone either way.
struct FallbackFailure {
    const char *operation;
    const char *message;
    bool outputsWritten;
};

// Names the case in test listings and failures.
void PrintTo(const FallbackFailure &c, std::ostream *out) { *out << c.operation; }

class GroundToImageFallbackTest : public TransformsTest, public ::testing::WithParamInterface<FallbackFailure> {};

TEST_P(GroundToImageFallbackTest, ReportsAndReleasesOnEveryPath) {
    const FallbackFailure &c = GetParam();
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = AffineTransform(&record);
    double X = 0, Y = 0;
    zt::ApplyGeoTransform(affine_.geoTransform, 5.0, 7.0, &X, &Y);
    const double z = 0.0;
    double imageX = -1, imageY = -1;
    const auto before = gt::LiveObjects();

    zha::FaultInject(c.operation, 1);
    Zerr_Report *err = nullptr;
    GroundToImage(&err, fileToMap, &X, &Y, &z, &imageX, &imageY);
    ExpectReport(&err, "GroundToImage", c.message, true, c.operation);
    if (c.outputsWritten) {
        EXPECT_NEAR(5.0, imageX, 1e-9);
        EXPECT_NEAR(7.0, imageY, 1e-9);
    } else {
        EXPECT_EQ(-1, imageX);
        EXPECT_EQ(-1, imageY);
    }
    EXPECT_EQ(before, gt::LiveObjects());
}

INSTANTIATE_TEST_SUITE_P(HostFailures, GroundToImageFallbackTest,
                         ::testing::Values(FallbackFailure{"zgda_BaseDataCreate", "Error Creating Matrix", false},
                                           FallbackFailure{"zxfr_XFormInvert", "Error inverting xForm", false},
                                           FallbackFailure{"zxfr_Transform", "Error transforming point", false},
                                           FallbackFailure{"zgda_BaseDataDelete", "Error deleting matrix", true},
                                           FallbackFailure{"zxfr_XFormFree", "Error deleting xForm", true}),
                         [](const ::testing::TestParamInfo<FallbackFailure> &info) {
                             return std::string(info.param.operation);
                         });

class ImageToGroundFallbackTest : public TransformsTest, public ::testing::WithParamInterface<FallbackFailure> {};

TEST_P(ImageToGroundFallbackTest, ReportsAndReleasesOnEveryPath) {
    const FallbackFailure &c = GetParam();
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = AffineTransform(&record);
    double X = 0, Y = 0;
    zt::ApplyGeoTransform(affine_.geoTransform, 5.0, 7.0, &X, &Y);
    const double x = 5.0, y = 7.0, z = 0.0;
    double groundX = -1, groundY = -1;
    const auto before = gt::LiveObjects();
    const int inversions = zha::FaultCalls("zxfr_XFormInvert");

    zha::FaultInject(c.operation, 1);
    Zerr_Report *err = nullptr;
    ImageAndGroundZToGroundXY(&err, fileToMap, &x, &y, &z, &groundX, &groundY);
    ExpectReport(&err, "ImageAndGroundZToGroundXY", c.message, true, c.operation);
    if (c.outputsWritten) {
        EXPECT_NEAR(X, groundX, 1e-9);
        EXPECT_NEAR(Y, groundY, 1e-9);
    } else {
        EXPECT_EQ(-1, groundX);
        EXPECT_EQ(-1, groundY);
    }
    EXPECT_EQ(before, gt::LiveObjects());
    EXPECT_EQ(inversions, zha::FaultCalls("zxfr_XFormInvert")) << "image to ground needs no inverse";
}

INSTANTIATE_TEST_SUITE_P(HostFailures, ImageToGroundFallbackTest,
                         ::testing::Values(FallbackFailure{"zgda_BaseDataCreate", "Error Creating Matrix", false},
                                           FallbackFailure{"zxfr_Transform", "Error transforming point", false},
                                           FallbackFailure{"zgda_BaseDataDelete", "Error deleting matrix", true}),
                         [](const ::testing::TestParamInfo<FallbackFailure> &info) {
                             return std::string(info.param.operation);
                         });

// A run (the markers of an open) gives every point exactly what GroundToImage
// gives it, inverts a planar transform once, and releases what it made; a
// failing step is reported for its point only.
TEST_F(TransformsTest, ARunGivesWhatEachPointGivesAndInvertsOnce) {
    gt::HandRecord affineRecord, rpcRecord;
    for (Zxfr_XForm *fileToMap : {AffineTransform(&affineRecord), RpcTransform(&rpcRecord)}) {
        const bool planar = fileToMap == affineRecord.get()->fileToMap[0];
        const auto before = gt::LiveObjects();
        const int inversions = zha::FaultCalls("zxfr_XFormInvert");
        GroundToImageRun run;
        BeginGroundToImageRun(&run, fileToMap);
        for (int i = 0; i < 50; ++i) {
            double X = 7.0 + i * 1e-5, Y = 44.9995 - i * 1e-5, z = 400.0 + i;
            if (planar) zt::ApplyGeoTransform(affine_.geoTransform, i * 0.7, i * 0.3, &X, &Y);
            double runX = -1, runY = -1, oneX = -2, oneY = -2;
            Zerr_Report *err = nullptr;
            RunGroundToImage(&err, &run, &X, &Y, &z, &runX, &runY);
            ASSERT_EQ("", Take(&err));
            GroundToImage(&err, fileToMap, &X, &Y, &z, &oneX, &oneY);
            ASSERT_EQ("", Take(&err));
            EXPECT_EQ(oneX, runX);
            EXPECT_EQ(oneY, runY);
        }
        EXPECT_EQ(inversions + (planar ? 1 + 50 : 0), zha::FaultCalls("zxfr_XFormInvert"));
        EndGroundToImageRun(&run);
        EXPECT_EQ(before, gt::LiveObjects());
    }

    Zxfr_XForm *fileToMap = affineRecord.get()->fileToMap[0];
    for (const FallbackFailure &c : {FallbackFailure{"zgda_BaseDataCreate", "Error Creating Matrix", false},
                                     FallbackFailure{"zxfr_XFormInvert", "Error inverting xForm", false},
                                     FallbackFailure{"zxfr_Transform", "Error transforming point", false}}) {
        const auto before = gt::LiveObjects();
        GroundToImageRun run;
        BeginGroundToImageRun(&run, fileToMap);
        double X = 0, Y = 0;
        zt::ApplyGeoTransform(affine_.geoTransform, 5.0, 7.0, &X, &Y);
        const double z = 0.0;
        double imageX = -1, imageY = -1;
        zha::FaultInject(c.operation, 1);
        Zerr_Report *err = nullptr;
        RunGroundToImage(&err, &run, &X, &Y, &z, &imageX, &imageY);
        ExpectReport(&err, "GroundToImage", c.message, true, c.operation);
        EXPECT_EQ(-1, imageX);
        RunGroundToImage(&err, &run, &X, &Y, &z, &imageX, &imageY);
        EXPECT_EQ("", Take(&err)) << c.operation << ": the next point goes through";
        EXPECT_NEAR(5.0, imageX, 1e-9);
        EndGroundToImageRun(&run);
        EXPECT_EQ(before, gt::LiveObjects()) << c.operation;
    }
}

TEST_F(TransformsTest, ReportSlotsAreOptional) {
    gt::HandRecord record;
    Zxfr_XForm *fileToMap = AffineTransform(&record);
    const double X = 350010.0, Y = 4984990.0, z = 0.0;
    double x = 0, y = 0;
    zha::FaultInject("zxfr_Transform", 1);
    GroundToImage(nullptr, fileToMap, &X, &Y, &z, &x, &y);
    zha::FaultInject("zxfr_Transform", 1);
    ImageAndGroundZToGroundXY(nullptr, fileToMap, &X, &Y, &z, &x, &y);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(0, zha::LiveCount("report"));
}

}  // namespace
