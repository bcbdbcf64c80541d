// Driving the viewer panes to the current point, with real viewers of the
// headless display showing fixture images.
#include <cmath>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::CountedPoint;
using gt::ExpectReport;
using gt::Take;

const double kZoomScale = 4.0;

class DriveTest : public gt::GeometryTest {
protected:
    // A mono record on a 400 x 300 UTM image with 1 m pixels.
    void StartMono() {
        zt::ImageOptions options;
        options.width = 400;
        options.height = 300;
        images_[0] = zt::WriteUtmImage(dir_.File("mono.tif"), options);
        record_ = std::make_unique<gt::HandRecord>(1);
        record_->Georeference(0, images_[0].path);
        ShowImages();
    }
    // A stereo record on the synthetic RPC pair, with its block.
    void StartStereo() {
        const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
        images_[0] = pair.left;
        images_[1] = pair.right;
        record_ = std::make_unique<gt::HandRecord>(2);
        record_->Georeference(0, pair.left.path);
        record_->Georeference(1, pair.right.path);
        record_->BuildBlock(pair.left.path, pair.right.path);
        ShowImages();
    }
    void TearDown() override {
        record_.reset();
        GeometryTest::TearDown();
    }

    // One viewer with a main and a zoom pane per image, each pane a different
    // canvas size, the zoom panes magnified; every pane starts at (-5, -5).
    void ShowImages() {
        ZOT_Data *data = record_->get();
        Zerr_Report *err = nullptr;
        Zdis_ViewWindow *viewer = zdis_CreateQVBViewWindowExt(0, 1, 0, 0, 1600, 800, &err);
        ASSERT_EQ("", Take(&err));
        zdis_QVBViewersArrange(viewer->qvb, 0, data->imageCount * 2, 0, &err);
        ASSERT_EQ("", Take(&err));
        for (int image = 0; image < data->imageCount; ++image) {
            for (int view = 0; view < 2; ++view) {
                Zdis_ViewWindow *pane = zha::PaneOfImage(image, view);
                ASSERT_NE(nullptr, pane);
                Zdis_Layer *layer = zdis_ViewWindowOpenGenericLayer(pane, "raster", images_[image].path.c_str());
                ASSERT_NE(nullptr, layer) << zha::LastLayerOpenError();
                if (view == 1) {
                    zdis_FrameSetScale(layer, kZoomScale, &err);
                    ASSERT_EQ("", Take(&err));
                }
                zha::SetPaneCanvasSize(pane, 301 + 100 * (image * 2 + view), 201 + 10 * (image * 2 + view));
                zdis_ViewWindowSetScroll(pane, -5, -5, nullptr);
                data->viewWindow[image][view] = pane;
                data->viewLayer[image][view] = layer;
            }
        }
    }

    static zha::DisplayPaneInfo Pane(Zdis_ViewWindow *pane) {
        zha::DisplayPaneInfo info;
        EXPECT_TRUE(zha::DisplayPane(pane, &info));
        return info;
    }

    // Where a pane must scroll to show file position (x, y) of its image at its centre.
    static void ExpectCentred(Zdis_ViewWindow *pane, double scale, double x, double y) {
        const zha::DisplayPaneInfo info = Pane(pane);
        EXPECT_NEAR(std::lround(x * scale) - info.canvasWidth / 2, info.scrollX, 1.0) << "pane " << info.index;
        EXPECT_NEAR(std::lround(y * scale) - info.canvasHeight / 2, info.scrollY, 1.0) << "pane " << info.index;
    }
    static bool Unmoved(Zdis_ViewWindow *pane) {
        const zha::DisplayPaneInfo info = Pane(pane);
        return info.scrollX == -5 && info.scrollY == -5;
    }

    // A point whose T&E position is file (x, y) of the mono image.
    ZOT_Point MonoPoint(double x, double y) {
        ZOT_Point p = CountedPoint();
        p.isMeasured = 0;
        zt::ApplyGeoTransform(images_[0].geoTransform, x, y, &p.teLongitude, &p.teLatitude);
        p.teElevation = 50.0;
        return p;
    }

    void Drive() {
        Zerr_Report *err = nullptr;
        DriveTo(&err, record_->get());
        ASSERT_EQ("", Take(&err));
    }

    ZOT_Data *data() { return record_->get(); }

    zt::ImageTruth images_[2];
    std::unique_ptr<gt::HandRecord> record_;
};

TEST_F(DriveTest, AnUnmeasuredPointIsShownAtItsReferencePosition) {
    StartMono();
    record_->Add(MonoPoint(10.0, 10.0));
    record_->Add(MonoPoint(123.25, 77.75));
    data()->currentRow = 1;
    Drive();
    ExpectCentred(data()->viewWindow[0][0], 1.0, 123.25, 77.75);
    ExpectCentred(data()->viewWindow[0][1], kZoomScale, 123.25, 77.75);
}

TEST_F(DriveTest, AMeasuredPointIsShownWhereItWasMeasured) {
    StartMono();
    ZOT_Point p = MonoPoint(123.25, 77.75);
    p.isMeasured = 1;
    zt::ApplyGeoTransform(images_[0].geoTransform, 310.25, 20.25, &p.measuredLongitude, &p.measuredLatitude);
    p.measuredElevation = 50.0;
    record_->Add(p);
    Drive();
    ExpectCentred(data()->viewWindow[0][0], 1.0, 310.25, 20.25);
    ExpectCentred(data()->viewWindow[0][1], kZoomScale, 310.25, 20.25);
}

TEST_F(DriveTest, APaneOf501CanvasUnitsIsScrolledByHalfItsWidthRoundedDown) {
    StartMono();
    record_->Add(MonoPoint(200.25, 150.25));
    zha::SetPaneCanvasSize(data()->viewWindow[0][0], 501, 301);
    Drive();
    const zha::DisplayPaneInfo main = Pane(data()->viewWindow[0][0]);
    int32_t cx = 0, cy = 0;
    Zerr_Report *err = nullptr;
    double X = 0, Y = 0;
    zt::ApplyGeoTransform(images_[0].geoTransform, 200.25, 150.25, &X, &Y);
    zdis_ViewWindowConvertMapToCanvasCoordinates(data()->viewWindow[0][0], data()->viewLayer[0][0], X, Y, &cx, &cy,
                                                 &err);
    ASSERT_EQ("", Take(&err));
    EXPECT_EQ(200, cx);
    EXPECT_EQ(cx - 250, main.scrollX);
    EXPECT_EQ(cy - 150, main.scrollY);
}

TEST_F(DriveTest, StereoScrollsLeftZoomLeftMainRightZoomRightMainInThatOrder) {
    StartStereo();
    ZOT_Point p = CountedPoint();
    p.isMeasured = 0;
    p.teLongitude = 7.0003;
    p.teLatitude = 44.9996;
    p.teElevation = 540.0;
    record_->Add(p);

    Zdis_ViewWindow *order[4] = {data()->viewWindow[0][1], data()->viewWindow[0][0], data()->viewWindow[1][1],
                                 data()->viewWindow[1][0]};
    // Failing the k-th ground-to-image conversion leaves exactly the panes before it scrolled.
    for (int failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE(failing);
        for (Zdis_ViewWindow *pane : order) zdis_ViewWindowSetScroll(pane, -5, -5, nullptr);
        zha::FaultInject("zblk_ObjectToFile", failing);
        Zerr_Report *err = nullptr;
        DriveTo(&err, data());
        ExpectReport(&err, "DriveTo", "Error returned from ObjectToFile", true, "ObjectToFile");
        for (int k = 0; k < 4; ++k) EXPECT_EQ(k + 1 >= failing, Unmoved(order[k])) << "pane " << k;
        zha::FaultClear();
    }

    Drive();
    for (int image = 0; image < 2; ++image) {
        double x = 0, y = 0;
        zt::RpcGroundToFile(images_[image].rpc, p.teLongitude, p.teLatitude, p.teElevation, &x, &y);
        ExpectCentred(data()->viewWindow[image][0], 1.0, x, y);
        ExpectCentred(data()->viewWindow[image][1], kZoomScale, x, y);
    }
}

TEST_F(DriveTest, AnEmptyListShowsAMessageAndIsNoError) {
    StartMono();
    zha::ClearViewerMessages();
    Drive();
    ASSERT_EQ(1u, zha::ViewerMessages().size());
    EXPECT_EQ("There are no points.", zha::ViewerMessages()[0]);
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][0]));
}

TEST_F(DriveTest, APointWithoutItsReferencePositionCannotBeDrivenTo) {
    StartMono();
    for (int32_t ZOT_Point::*flag : {&ZOT_Point::hasTELongitude, &ZOT_Point::hasTELatitude,
                                     &ZOT_Point::hasTEElevation}) {
        ZOT_Point p = MonoPoint(100.0, 100.0);
        p.isMeasured = 1;  // even an accepted measurement does not help
        p.measuredLongitude = p.teLongitude;
        p.measuredLatitude = p.teLatitude;
        p.*flag = 0;
        data()->currentRow = record_->Add(p);
        Zerr_Report *err = nullptr;
        DriveTo(&err, data());
        ExpectReport(&err, "DriveTo", "T&E point not valid.", false);
    }
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][0]));
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][1]));
}

TEST_F(DriveTest, ACurrentRowPastTheListIsReportedAndReadsNothing) {
    StartMono();
    record_->Add(MonoPoint(100.0, 100.0));
    for (int32_t row : {1, 5, -1}) {
        data()->currentRow = row;
        Zerr_Report *err = nullptr;
        DriveTo(&err, data());
        ExpectReport(&err, "DriveTo", "Error returned by zdlm_Element.", false);
    }
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][0]));
}

struct DriveFailure {
    bool stereo;
    const char *operation;
    int nth;
    const char *message;
    const char *causeOperation;
};

// Names the case in test listings and failures.
void PrintTo(const DriveFailure &c, std::ostream *out) {
    *out << (c.stereo ? "stereo " : "mono ") << c.operation << " call " << c.nth;
}

class DriveFailureTest : public DriveTest, public ::testing::WithParamInterface<DriveFailure> {};

TEST_P(DriveFailureTest, StopsWithItsMessageAndReleasesTheMatrix) {
    const DriveFailure &c = GetParam();
    if (c.stereo) {
        StartStereo();
        ZOT_Point p = CountedPoint();
        p.teLongitude = 7.0;
        p.teLatitude = 45.0;
        p.teElevation = 500.0;
        record_->Add(p);
    } else {
        StartMono();
        record_->Add(MonoPoint(100.0, 100.0));
    }
    const long matrices = zha::LiveCount("matrix");
    zha::FaultInject(c.operation, c.nth);
    Zerr_Report *err = nullptr;
    DriveTo(&err, data());
    ExpectReport(&err, "DriveTo", c.message, true, c.causeOperation);
    EXPECT_EQ(matrices, zha::LiveCount("matrix"));
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][1]));
}

INSTANTIATE_TEST_SUITE_P(
    HostFailures, DriveFailureTest,
    ::testing::Values(
        DriveFailure{false, "zdlm_CountList", 1, "Error returned by zdlm_CountList.", "zdlm_CountList"},
        DriveFailure{false, "zdlm_GetAddr", 1, "Error returned by zdlm_Element.", "zdlm_GetAddr"},
        DriveFailure{false, "zgda_BaseDataCreate", 1, "Error creating matrix", "zgda_BaseDataCreate"},
        DriveFailure{false, "zxfr_GroundToImage", 1, "Error performing ground to image", "GroundToImage"},
        // In mono the planar fallback of the conversion transforms first.
        DriveFailure{false, "zxfr_Transform", 2, "Error transforming file to map", "zxfr_Transform"},
        DriveFailure{true, "zxfr_Transform", 1, "Error transforming file to map", "zxfr_Transform"}),
    [](const ::testing::TestParamInfo<DriveFailure> &info) {
        return std::string(info.param.stereo ? "Stereo" : "Mono") + info.param.operation;
    });

TEST_F(DriveTest, APaneTheViewerCannotConvertKeepsItsPositionAndTheOthersMove) {
    StartMono();
    record_->Add(MonoPoint(100.25, 60.25));
    zha::FaultInject("zdis_ViewWindowConvertMapToCanvasCoordinates", 1);
    Drive();
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][1]));
    ExpectCentred(data()->viewWindow[0][0], 1.0, 100.25, 60.25);

    zha::FaultInject("zdis_ViewWindowGetCanvasGeometry", 2);
    zdis_ViewWindowSetScroll(data()->viewWindow[0][1], -5, -5, nullptr);
    zdis_ViewWindowSetScroll(data()->viewWindow[0][0], -5, -5, nullptr);
    Drive();
    ExpectCentred(data()->viewWindow[0][1], kZoomScale, 100.25, 60.25);
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][0]));

    zdis_ViewWindowSetScroll(data()->viewWindow[0][1], -5, -5, nullptr);
    zdis_ViewWindowSetScroll(data()->viewWindow[0][0], -5, -5, nullptr);
    zha::FaultInject("zdis_ViewWindowSetScroll", 1);
    Drive();
    EXPECT_TRUE(Unmoved(data()->viewWindow[0][1]));
    ExpectCentred(data()->viewWindow[0][0], 1.0, 100.25, 60.25);
}

TEST_F(DriveTest, WithoutAReportSlotTheFailureIsShownToTheUser) {
    StartMono();
    record_->Add(MonoPoint(100.0, 100.0));
    data()->currentRow = 3;
    zha::ClearPrintedReports();
    DriveTo(nullptr, data());
    ASSERT_EQ(1u, zha::PrintedReports().size());
    EXPECT_NE(std::string::npos, zha::PrintedReports()[0].find("DriveTo"));
    EXPECT_NE(std::string::npos, zha::PrintedReports()[0].find("Error returned by zdlm_Element."));
}

TEST_F(DriveTest, TheApplicationFunctionWrapsTheFailureAndAlwaysReturnsZero) {
    StartMono();
    Zerr_Report *err = nullptr;
    EXPECT_EQ(0, ZOT_DriveTo(&err, nullptr));
    ExpectReport(&err, "ZOT_DriveTo", "Invalid ZOT_Data * passed to the function.", false);

    record_->Add(MonoPoint(100.0, 100.0));
    data()->currentRow = 2;
    EXPECT_EQ(0, ZOT_DriveTo(&err, data()));
    ExpectReport(&err, "ZOT_DriveTo", "Error driving to point", true, "DriveTo");

    data()->currentRow = 0;
    EXPECT_EQ(0, ZOT_DriveTo(&err, data()));
    EXPECT_EQ("", Take(&err));
    ExpectCentred(data()->viewWindow[0][0], 1.0, 100.0, 100.0);
    EXPECT_EQ(0, ZOT_DriveTo(nullptr, nullptr));
    EXPECT_TRUE(zha::PrintedReports().empty());
}

}  // namespace
